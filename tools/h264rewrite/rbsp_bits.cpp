#include "tools/h264rewrite/rbsp_bits.h"

namespace h264rewrite {

uint32_t RbspReader::U(int bits) {
  uint32_t value = 0;
  for (int i = 0; i < bits; ++i) {
    uint32_t bit = 0;
    if (position_ < Size()) {
      bit = (rbsp_[position_ >> 3] >> (7 - (position_ & 7))) & 1;
    } else {
      failed_ = true;
    }
    ++position_;
    value = (value << 1) | bit;
  }
  return value;
}

uint32_t RbspReader::Ue() {
  int zeros = 0;
  while (U(1) == 0) {
    if (++zeros > 31 || failed_) {
      failed_ = true;
      return 0;
    }
  }
  return static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + U(zeros));
}

int32_t RbspReader::Se() {
  const uint32_t k = Ue();
  const int32_t magnitude = static_cast<int32_t>((uint64_t{k} + 1) / 2);
  return (k & 1) ? magnitude : -magnitude;
}

void RbspWriter::U(uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if ((bits_ & 7) == 0) bytes_.push_back(0);
    if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ & 7));
    ++bits_;
  }
}

void RbspWriter::Ue(uint32_t value) {
  const uint64_t code = uint64_t{value} + 1;
  int length = 0;
  while ((code >> (length + 1)) != 0) ++length;
  U(0, length);
  U(static_cast<uint32_t>(code), length + 1);
}

void RbspWriter::Se(int32_t value) {
  Ue(value > 0 ? 2 * static_cast<uint32_t>(value) - 1 : 2 * static_cast<uint32_t>(-int64_t{value}));
}

void RbspWriter::CopyBits(const std::vector<uint8_t>& rbsp, size_t from, size_t end) {
  for (size_t p = from; p < end; ++p) U((rbsp[p >> 3] >> (7 - (p & 7))) & 1, 1);
}

std::vector<uint8_t> RbspWriter::Bytes() const { return bytes_; }

std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  int zeros = 0;
  for (size_t i = 0; i < size; ++i) {
    if (zeros >= 2 && data[i] == 3) {
      zeros = 0;
      continue;
    }
    out.push_back(data[i]);
    zeros = data[i] == 0 ? zeros + 1 : 0;
  }
  return out;
}

std::vector<uint8_t> AddEmulationPrevention(const std::vector<uint8_t>& rbsp) {
  std::vector<uint8_t> out;
  int zeros = 0;
  for (uint8_t b : rbsp) {
    if (zeros >= 2 && b <= 3) {
      out.push_back(3);
      zeros = 0;
    }
    out.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

}  // namespace h264rewrite
