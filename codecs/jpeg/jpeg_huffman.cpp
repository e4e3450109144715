#include "codecs/jpeg/jpeg_huffman.h"

#include "codecs/jpeg/jpeg_errors.h"

namespace jpeg {

void HuffmanTable::Build(const HuffmanSpec& spec) {
  lookup_.fill(0);
  values_ = spec.values;
  int32_t code = 0;
  int symbol = 0;
  for (int length = 1; length <= 16; ++length) {
    const int count = spec.counts[length];
    valueOffset_[length] = symbol - code;
    for (int i = 0; i < count; ++i, ++code, ++symbol) {
      // Codes of this length must fit in `length` bits (C.2).
      if (code >= (1 << length) || symbol > 255) Fail(kJpegHuffmanCodeSpace);
      if (length <= kLookupBits) {
        const int shift = kLookupBits - length;
        const uint16_t entry = static_cast<uint16_t>((length << 8) | spec.values[static_cast<size_t>(symbol)]);
        for (int fill = 0; fill < (1 << shift); ++fill) lookup_[static_cast<size_t>((code << shift) | fill)] = entry;
      }
    }
    maxCode_[length] = count > 0 ? code - 1 : -1;
    code <<= 1;
  }
}

}  // namespace jpeg
