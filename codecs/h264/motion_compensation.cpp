#include "codecs/h264/motion_compensation.h"

#include <algorithm>

namespace avc {

namespace {

// Room for a 16x16 luma block and its filter margins (2 before, 3 after).
constexpr int kScratchStride = 24;

// Points at the reference area of `width` x `height` samples starting at
// (x, y); when it crosses an edge the area is built in `scratch`.
const uint8_t* Area(const uint8_t* plane, int planeWidth, int planeHeight, int x, int y, int width, int height,
                    uint8_t* scratch, ptrdiff_t& stride) {
  if (x >= 0 && y >= 0 && x + width <= planeWidth && y + height <= planeHeight) {
    stride = planeWidth;
    return plane + static_cast<ptrdiff_t>(y) * planeWidth + x;
  }
  for (int row = 0; row < height; ++row) {
    const int sy = std::clamp(y + row, 0, planeHeight - 1);
    const uint8_t* line = plane + static_cast<ptrdiff_t>(sy) * planeWidth;
    for (int col = 0; col < width; ++col) scratch[row * kScratchStride + col] = line[std::clamp(x + col, 0, planeWidth - 1)];
  }
  stride = kScratchStride;
  return scratch;
}

}  // namespace

void PredictPartition(const KernelSet& k, const ReferencePlanes& ref, const PredictionTarget& t, int x, int y,
                      int width, int height, int mvx, int mvy) {
  uint8_t scratch[kScratchStride * 21];
  ptrdiff_t stride = 0;
  // Vectors are 16-bit, positions below 2^13: no sum here overflows.
  const int lx = x + (mvx >> 2), ly = y + (mvy >> 2);
  const uint8_t* luma = Area(ref.planes[0], ref.width, ref.height, lx - 2, ly - 2, width + 5, height + 5, scratch, stride);
  k.lumaMc[(mvx & 3) * 4 + (mvy & 3)](t.planes[0] + y * t.lumaStride + x, t.lumaStride, luma + 2 * stride + 2, stride,
                                      width, height);
  const int cw = ref.width / 2, ch = ref.height / 2;
  const int cx = x / 2 + (mvx >> 3), cy = y / 2 + (mvy >> 3);
  for (int comp = 1; comp < 3; ++comp) {
    const uint8_t* chroma = Area(ref.planes[comp], cw, ch, cx, cy, width / 2 + 1, height / 2 + 1, scratch, stride);
    k.chromaMc(t.planes[comp] + (y / 2) * t.chromaStride + x / 2, t.chromaStride, chroma, stride, width / 2, height / 2,
               mvx & 7, mvy & 7);
  }
}

}  // namespace avc
