#pragma once
// What the sequential and the progressive scans share in reading their
// coefficients: the zig-zag order, EXTEND and the DC difference.  Private to
// the JPEG library.
#include <cstdint>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_huffman.h"

namespace jpeg {

// Natural (row-major) position of each zig-zag index (T.81 Figure A.6).
inline constexpr uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// EXTEND of T.81 F.2.2.1.
inline int32_t Extend(uint32_t value, int size) {
  return value < (1u << (size - 1)) ? static_cast<int32_t>(value) - (1 << size) + 1 : static_cast<int32_t>(value);
}

}  // namespace jpeg

template <class Reader>
int CJpegDecoder::DecodeDc(Reader& reader, const jpeg::HuffmanTable& table) {
  const int size = table.Decode(reader);
  if (size > 15) jpeg::Fail(jpeg::kJpegBlockOverrun);
  return size == 0 ? 0 : jpeg::Extend(reader.Get(size), size);
}
