#pragma once
// Most-significant-bit-first reader over one access unit.  Bits past the end
// read as zeros and never touch memory there; consuming them marks the
// reader as overrun, which the macroblock loop takes as truncated data.
#include <cstddef>
#include <cstdint>
#include <cstring>

class Mp4BitReader {
 public:
  Mp4BitReader() = default;
  Mp4BitReader(const uint8_t* data, size_t size) : data_(data), size_(size), bits_(uint64_t(size) * 8) {}

  // The next n (0..32) bits, first bit most significant.
  uint32_t Peek(int n) const {
    if (n == 0) return 0;
    return static_cast<uint32_t>(Window() >> (64 - n));
  }
  uint32_t Read(int n) {
    const uint32_t v = Peek(n);
    pos_ += n;
    return v;
  }
  bool ReadBit() { return Read(1) != 0; }
  void Skip(int n) { pos_ += n; }
  void ByteAlign() { pos_ = (pos_ + 7) & ~uint64_t(7); }
  bool ByteAligned() const { return (pos_ & 7) == 0; }
  int BitsToByteBoundary() const { return int(8 - (pos_ & 7)); }  // 8 when aligned

  uint64_t Position() const { return pos_; }
  void SetPosition(uint64_t bitPos) { pos_ = bitPos; }
  uint64_t SizeInBits() const { return bits_; }
  bool AtEnd() const { return pos_ >= bits_; }
  bool Overrun() const { return pos_ > bits_; }
  uint64_t BitsLeft() const { return pos_ >= bits_ ? 0 : bits_ - pos_; }

  // Byte-aligns and moves to the next 00 00 01 at or after the current byte;
  // false (at the end) when there is none.
  bool NextStartCode() {
    ByteAlign();
    size_t i = size_t(pos_ >> 3);
    while (i + 3 <= size_) {
      if (data_[i] == 0 && data_[i + 1] == 0 && data_[i + 2] == 1) {
        pos_ = uint64_t(i) * 8;
        return true;
      }
      ++i;
    }
    pos_ = bits_;
    return false;
  }

 private:
  // At least 57 bits from the current position (more than any peek
  // needs), zeros past the end.
  uint64_t Window() const {
    const uint64_t byte = pos_ >> 3;
    const int shift = int(pos_ & 7);
    if (byte + 8 <= size_) {
      uint8_t b[8];
      std::memcpy(b, data_ + byte, 8);
      const uint64_t w = uint64_t(b[0]) << 56 | uint64_t(b[1]) << 48 | uint64_t(b[2]) << 40 | uint64_t(b[3]) << 32 |
                         uint64_t(b[4]) << 24 | uint64_t(b[5]) << 16 | uint64_t(b[6]) << 8 | uint64_t(b[7]);
      return w << shift;
    }
    uint64_t w = 0;
    for (int k = 0; k < 8; ++k) {
      const uint64_t at = byte + uint64_t(k);
      w = w << 8 | (at < size_ ? data_[at] : 0);
    }
    return w << shift;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint64_t bits_ = 0;
  uint64_t pos_ = 0;
};
