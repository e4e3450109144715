#pragma once
// Bit-level reading and writing of RBSP syntax for the rewriter, with the
// emulation-prevention step of clause 7.4.1 in both directions.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace h264rewrite {

class RbspReader {
 public:
  explicit RbspReader(const std::vector<uint8_t>& rbsp) : rbsp_(rbsp) {}
  uint32_t U(int bits);
  uint32_t Ue();
  int32_t Se();
  size_t Position() const { return position_; }
  size_t Size() const { return rbsp_.size() * 8; }
  // Reading past the end: the unit is not what it claims.
  bool Failed() const { return failed_; }

 private:
  const std::vector<uint8_t>& rbsp_;
  size_t position_ = 0;
  bool failed_ = false;
};

class RbspWriter {
 public:
  void U(uint32_t value, int bits);
  void Ue(uint32_t value);
  void Se(int32_t value);
  // Copies bits [from, end) of `rbsp` as they stand.
  void CopyBits(const std::vector<uint8_t>& rbsp, size_t from, size_t end);
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint8_t> bytes_;
  size_t bits_ = 0;
};

// NAL unit payload (after its start code) to RBSP and back.
std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t size);
std::vector<uint8_t> AddEmulationPrevention(const std::vector<uint8_t>& rbsp);

}  // namespace h264rewrite
