#pragma once
// Reads the syntax of one NAL unit's RBSP, most significant bit first.
// Every read is bounded by the unit: past its end the reader returns zero
// bits and raises `overrun`, which ends the slice that was being read.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace avc {

class BitReader {
 public:
  BitReader() = default;
  BitReader(const uint8_t* data, size_t bytes) { Reset(data, bytes); }

  void Reset(const uint8_t* data, size_t bytes) {
    data_ = data;
    bytes_ = bytes;
    position_ = 0;
    overrun_ = false;
    // The rbsp stop bit is the last set bit of the unit.
    stopBit_ = 0;
    for (size_t i = bytes; i > 0; --i) {
      const uint8_t b = data[i - 1];
      if (b) {
        stopBit_ = (i - 1) * 8 + 7 - static_cast<size_t>(__builtin_ctz(b));
        break;
      }
    }
  }

  // The 32 bits at the position; zeros beyond the unit.  Away from the
  // unit's end one unaligned 64-bit load holds them.
  uint32_t Peek32() const {
    const size_t byte = position_ >> 3;
    const unsigned shift = position_ & 7;
    uint64_t window;
    if (byte + 8 <= bytes_) {
      std::memcpy(&window, data_ + byte, 8);
      window = __builtin_bswap64(window);
      return static_cast<uint32_t>((window << shift) >> 32);
    }
    window = 0;
    for (size_t i = 0; i < 5; ++i) window = (window << 8) | (byte + i < bytes_ ? data_[byte + i] : 0);
    return static_cast<uint32_t>(window >> (8 - shift));
  }

  void Skip(size_t n) {
    position_ += n;
    if (position_ > bytes_ * 8) overrun_ = true;
  }

  // 1 to 32 bits.
  uint32_t Bits(unsigned n) {
    const uint32_t v = n == 32 ? Peek32() : Peek32() >> (32 - n);
    Skip(n);
    return v;
  }
  uint32_t Bit() { return Bits(1); }

  // ue(v); 32 or more leading zeros is no code: it raises overrun.
  uint32_t Ue() {
    const uint32_t window = Peek32();
    if (window >= (1u << 16)) {
      // Up to 15 leading zeros: the whole code lies in the window.
      const unsigned length = 2 * static_cast<unsigned>(__builtin_clz(window)) + 1;
      Skip(length);
      return (window >> (32 - length)) - 1;
    }
    if (window == 0) {
      overrun_ = true;
      Skip(32);
      return 0;
    }
    const unsigned zeros = static_cast<unsigned>(__builtin_clz(window));
    Skip(zeros);
    const uint64_t code = Bits(zeros + 1);
    return static_cast<uint32_t>(code - 1);
  }

  int32_t Se() {
    const uint32_t k = Ue();
    const int64_t magnitude = (static_cast<int64_t>(k) + 1) / 2;
    return static_cast<int32_t>((k & 1) ? magnitude : -magnitude);
  }

  bool MoreRbspData() const { return !overrun_ && position_ < stopBit_; }
  void AlignToByte() { Skip((8 - (position_ & 7)) & 7); }
  bool ByteAligned() const { return (position_ & 7) == 0; }

  size_t Position() const { return position_; }
  size_t BitsLeft() const { return position_ < bytes_ * 8 ? bytes_ * 8 - position_ : 0; }
  bool Overrun() const { return overrun_; }
  const uint8_t* BytePointer() const { return data_ + (position_ >> 3); }
  const uint8_t* Data() const { return data_; }
  size_t Bytes() const { return bytes_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t bytes_ = 0;
  size_t position_ = 0;
  size_t stopBit_ = 0;
  bool overrun_ = false;
};

}  // namespace avc
