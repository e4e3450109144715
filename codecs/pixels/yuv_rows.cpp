#include "codecs/pixels/yuv_rows.h"

namespace yuv_detail {

void ForEachRowPair(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                    uint8_t* dst, int width, int height, std::ptrdiff_t dstRowBytes, RowPair pair) {
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
