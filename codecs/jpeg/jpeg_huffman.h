#pragma once
// Huffman tables as a DHT segment defines them (T.81 Annex C) and their
// decoding form: a 9-bit lookup for short codes, the canonical
// first-code/last-code walk of T.81 F.2.2.3 for longer ones.
#include <array>
#include <cstddef>
#include <cstdint>

namespace jpeg {

struct HuffmanSpec {
  std::array<uint8_t, 17> counts{};  // [1..16]: codes of each length
  std::array<uint8_t, 256> values{};
};

class HuffmanTable {
 public:
  // Throws kJpegHuffmanCodeSpace when the lengths overfill the code space.
  void Build(const HuffmanSpec& spec);

  // The next symbol.  A bit pattern no code starts with gives symbol 0 and
  // takes 16 bits, so corrupt data always moves the reader on.
  template <class Reader>
  int Decode(Reader& reader) const {
    const uint32_t peek = reader.Peek16();
    const uint16_t entry = lookup_[peek >> (16 - kLookupBits)];
    if (entry >> 8) {
      reader.Skip(entry >> 8);
      return entry & 0xFF;
    }
    for (int length = kLookupBits + 1; length <= 16; ++length) {
      const int32_t code = static_cast<int32_t>(peek >> (16 - length));
      if (code <= maxCode_[length]) {
        reader.Skip(length);
        return values_[static_cast<uint8_t>(code + valueOffset_[length])];
      }
    }
    reader.Skip(16);
    return 0;
  }

 private:
  static constexpr int kLookupBits = 9;
  std::array<uint16_t, 1 << kLookupBits> lookup_{};  // (length << 8) | symbol; length 0: longer code
  std::array<int32_t, 17> maxCode_{};
  std::array<int32_t, 17> valueOffset_{};
  std::array<uint8_t, 256> values_{};
};

}  // namespace jpeg
