#pragma once
// YCbCr to RGB as JFIF (T.871) defines it, in 16-bit fixed point with the
// chroma centred on 128: R = Y + 1.402 (Cr - 128), G = Y - 0.34414 (Cb - 128)
// - 0.71414 (Cr - 128), B = Y + 1.772 (Cb - 128), clamped to 0..255.
#include <cstdint>

namespace jpeg {

constexpr int32_t kCrToR = 91882;   // 1.40200 × 65536
constexpr int32_t kCbToB = 116130;  // 1.77200 × 65536
constexpr int32_t kCrToG = 46802;   // 0.71414 × 65536
constexpr int32_t kCbToG = 22554;   // 0.34414 × 65536

constexpr int32_t RedOffset(int32_t cr) { return (kCrToR * (cr - 128) + 32768) >> 16; }
constexpr int32_t BlueOffset(int32_t cb) { return (kCbToB * (cb - 128) + 32768) >> 16; }
constexpr int32_t GreenOffset(int32_t cb, int32_t cr) {
  return (-kCbToG * (cb - 128) + 32768 - kCrToG * (cr - 128)) >> 16;
}

}  // namespace jpeg
