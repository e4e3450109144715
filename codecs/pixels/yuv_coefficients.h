#pragma once
// The RGB converters' BT.601 studio-range coefficients in 13-bit fixed
// point: each term is floor(value x coefficient / 8192).  Constants only, so
// that the kernels built for wider instruction sets share them safely.
#include <cstdint>

namespace yuv_detail {

constexpr int16_t kLuma = 9576;  // y to every colour
constexpr int16_t kVToRed = 13123;
constexpr int16_t kUToGreen = -3218;
constexpr int16_t kVToGreen = -6686;
constexpr int16_t kUToBlue = 16591;

}  // namespace yuv_detail
