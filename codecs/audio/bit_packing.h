#pragma once
// Codes of a few bits packed into bytes.  Least significant bit first: the
// first code in the lowest bits of the first byte, a code that does not fit
// continuing in the lowest bits of the next.  Most significant bit first:
// the first code in the highest bits, each following code below it.
// Readers and writers never touch a byte outside their span.
#include <cstddef>
#include <cstdint>
#include <span>

namespace codecs::audio {

class LsbFirstBitReader {
 public:
  explicit LsbFirstBitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  // The next `bits` bits as a code; bits past the end read as 0.
  unsigned Read(int bits);

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;  // in bits
};

class LsbFirstBitWriter {
 public:
  // Starts from a zeroed span.
  explicit LsbFirstBitWriter(std::span<uint8_t> bytes);
  // Bits past the end are dropped.
  void Write(unsigned code, int bits);

 private:
  std::span<uint8_t> bytes_;
  size_t position_ = 0;
};

// Rewrite whole codes of `bits` bits in place from one order to the other.
// When the span does not hold a whole number of codes they are left as they are.
void LsbFirstToMsbFirst(std::span<uint8_t> bytes, int bits);
void MsbFirstToLsbFirst(std::span<uint8_t> bytes, int bits);

}  // namespace codecs::audio
