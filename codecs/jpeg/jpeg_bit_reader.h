#pragma once
// The entropy decoder's bit reader over the unstuffed bytes: bits are held
// left-aligned in a 32- or 64-bit word.  Both widths consume the same bits;
// the wide one refills less often.  Reads take at most 16 bits.
#include <cstdint>

#include "codecs/jpeg/jpeg_byte_source.h"

namespace jpeg {

template <class Word>
class JpegBitReader {
 public:
  explicit JpegBitReader(JpegByteSource& source) : source_(source) {}

  // The next 16 bits, without taking them.
  uint32_t Peek16() {
    if (count_ < 16) Fill();
    return static_cast<uint32_t>(bits_ >> (kWidth - 16));
  }
  // Takes n bits already peeked (n ≤ 16).
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  uint32_t Get(int n) {
    if (n == 0) return 0;
    if (count_ < n) Fill();
    const uint32_t value = static_cast<uint32_t>(bits_ >> (kWidth - n));
    Skip(n);
    return value;
  }
  // Drops every held bit; reading goes on at the source's position.
  void Reset() {
    bits_ = 0;
    count_ = 0;
  }

 private:
  static constexpr int kWidth = static_cast<int>(sizeof(Word) * 8);

  void Fill() {
    while (count_ <= kWidth - 8) {
      bits_ |= static_cast<Word>(source_.Entropy()) << (kWidth - 8 - count_);
      count_ += 8;
    }
  }

  JpegByteSource& source_;
  Word bits_ = 0;
  int count_ = 0;
};

}  // namespace jpeg
