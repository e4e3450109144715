#include "tools/vyxmux/bit_reader.h"

BitReader::BitReader(const uint8_t* data, size_t size, Mode mode)
    : data_(data), size_(size), mode_(mode) {}

bool BitReader::LoadByte() {
  if (next_ < size_ && mode_ == Mode::kRbsp && zeroRun_ >= 2 && data_[next_] == 0x03) {
    ++next_;
    zeroRun_ = 0;
  }
  if (next_ >= size_) {
    overrun_ = true;
    return false;
  }
  current_ = data_[next_++];
  zeroRun_ = current_ == 0 ? zeroRun_ + 1 : 0;
  bitsLeft_ = 8;
  return true;
}

int BitReader::ReadBit() {
  if (bitsLeft_ == 0 && !LoadByte()) return 0;
  --bitsLeft_;
  return (current_ >> bitsLeft_) & 1;
}

uint32_t BitReader::ReadBits(int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 1) | static_cast<uint32_t>(ReadBit());
  return value;
}

void BitReader::SkipBits(int count) {
  for (int i = 0; i < count && !overrun_; ++i) ReadBit();
}

uint32_t BitReader::ReadUe() {
  int leadingZeros = 0;
  while (ReadBit() == 0) {
    if (overrun_ || ++leadingZeros > 31) {
      overrun_ = true;
      return 0;
    }
  }
  const uint64_t value = (uint64_t{1} << leadingZeros) - 1 + ReadBits(leadingZeros);
  if (value > UINT32_MAX) {
    overrun_ = true;
    return 0;
  }
  return static_cast<uint32_t>(value);
}

int32_t BitReader::ReadSe() {
  const uint32_t code = ReadUe();
  const int64_t magnitude = (static_cast<int64_t>(code) + 1) / 2;
  return static_cast<int32_t>((code & 1) ? magnitude : -magnitude);
}
