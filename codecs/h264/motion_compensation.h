#pragma once
// Inter prediction of one partition from one reference frame (clause
// 8.4.2.2): the reference area is read in place when it lies inside the
// picture, else copied with every coordinate clamped to the picture edge.
#include <cstddef>
#include <cstdint>

#include "codecs/h264/kernel_set.h"

namespace avc {

struct ReferencePlanes {
  const uint8_t* planes[3];
  int width;   // luma samples
  int height;
};

// Destination planes of the macroblock being predicted.
struct PredictionTarget {
  uint8_t* planes[3];
  ptrdiff_t lumaStride;
  ptrdiff_t chromaStride;
};

// Predicts the luma width x height block at luma position (x, y) of the
// picture and its chroma, displaced by the vector (mvx, mvy) in quarter
// samples.  Widths and heights are 4, 8 or 16.
void PredictPartition(const KernelSet& kernels, const ReferencePlanes& reference, const PredictionTarget& target,
                      int x, int y, int width, int height, int mvx, int mvy);

}  // namespace avc
