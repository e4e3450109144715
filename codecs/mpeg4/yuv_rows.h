#pragma once
// The row walk every converter shares.  Source rows go in pairs that share
// one chroma row (the last pair of an odd height has one row); each source
// row s lands on destination row s, or on row |height| - 1 - s when the
// height is negative.
#include <cstddef>
#include <cstdint>

namespace yuv_detail {

// pair(y0, y1, u, v, dst0, dst1, width): y1 and dst1 are null for a lone
// last row.
template <typename PairFunction>
void ForEachRowPair(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                    uint8_t* dst, int width, int height, std::ptrdiff_t dstRowBytes, PairFunction pair) {
  if (!y || !u || !v || !dst || width <= 0 || height == 0) return;
  const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
  auto destination = [&](int64_t source) { return dst + (height > 0 ? source : rows - 1 - source) * dstRowBytes; };
  for (int64_t s = 0; s < rows; s += 2) {
    const bool both = s + 1 < rows;
    pair(y + s * yStride, both ? y + (s + 1) * yStride : nullptr, u + s / 2 * uvStride, v + s / 2 * uvStride,
         destination(s), both ? destination(s + 1) : nullptr, width);
  }
}

}  // namespace yuv_detail
