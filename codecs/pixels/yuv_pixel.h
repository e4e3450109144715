#pragma once
// The colour arithmetic of the RGB converters (BT.601 studio range in 13-bit
// fixed point), written so that a 16-bit SIMD lane computes the same value:
// M(x, c) keeps the high half of the signed 32-bit product, and the sums
// saturate at 16 bits before each colour is clamped to 0..255.
#include <algorithm>
#include <cstdint>

#include "codecs/pixels/yuv_coefficients.h"

namespace yuv_detail {

// floor(x * c / 65536), as _mm_mulhi_epi16 computes it.
inline int16_t MulHigh(int16_t x, int16_t c) {
  return static_cast<int16_t>((int32_t{x} * int32_t{c}) >> 16);
}

inline int16_t AddSaturated(int16_t a, int16_t b) {
  return static_cast<int16_t>(std::clamp(int32_t{a} + int32_t{b}, -32768, 32767));
}

inline uint8_t ClampToByte(int16_t x) { return static_cast<uint8_t>(std::clamp<int16_t>(x, 0, 255)); }

// The chroma terms of one chroma sample, shared by the pixels it serves.
struct ChromaTerms {
  int16_t red, green, blue;
};

inline ChromaTerms TermsOf(uint8_t U, uint8_t V) {
  const auto u8 = static_cast<int16_t>((U - 128) * 8);
  const auto v8 = static_cast<int16_t>((V - 128) * 8);
  return {MulHigh(v8, kVToRed), AddSaturated(MulHigh(u8, kUToGreen), MulHigh(v8, kVToGreen)),
          MulHigh(u8, kUToBlue)};
}

struct Bgr {
  uint8_t b, g, r;
};

inline Bgr PixelOf(uint8_t Y, ChromaTerms c) {
  const auto y8 = static_cast<int16_t>((Y > 16 ? Y - 16 : 0) * 8);  // Y below 16 is black
  const int16_t t = MulHigh(y8, kLuma);
  return {ClampToByte(AddSaturated(t, c.blue)), ClampToByte(AddSaturated(t, c.green)),
          ClampToByte(AddSaturated(t, c.red))};
}

}  // namespace yuv_detail
