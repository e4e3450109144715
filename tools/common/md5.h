#pragma once
// MD5 (RFC 1321), for the checksums the tools print and tests compare with
// ffmpeg's framemd5 output.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
 public:
  Md5();
  void Update(const void* data, size_t size);
  std::array<uint8_t, 16> Finish();
  std::string FinishHex();

  static std::string Hex(const void* data, size_t size);

 private:
  void Block(const uint8_t* block);
  uint32_t state_[4];
  uint64_t length_ = 0;
  uint8_t buffer_[64];
  size_t buffered_ = 0;
};
