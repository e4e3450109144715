#pragma once
// The row walk every converter shares.  Source rows go in pairs that share
// one chroma row (the last pair of an odd height has one row); each source
// row s lands on destination row s, or on row |height| - 1 - s when the
// height is negative.
//
// Not a template, on purpose: the SIMD kernels are compiled for wider
// instruction sets, and an inline copy of a shared template made there could
// be the copy the linker keeps for every caller.
#include <cstddef>
#include <cstdint>

namespace yuv_detail {

// Converts one row pair; y1 and dst1 are null for a lone last row.
using RowPair = void (*)(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                         uint8_t* dst0, uint8_t* dst1, int width);

void ForEachRowPair(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                    uint8_t* dst, int width, int height, std::ptrdiff_t dstRowBytes, RowPair pair);

}  // namespace yuv_detail
