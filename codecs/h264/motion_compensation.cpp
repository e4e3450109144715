#include "codecs/h264/motion_compensation.h"

#include <algorithm>

#include "codecs/h264/kernels_inter_plain.h"

namespace avc {

namespace {

struct Plane {
  const uint8_t* samples;
  int width;
  int height;
  ptrdiff_t step;
};

using FetchRoutine = const uint8_t* (*)(const Plane& plane, int x, int y, int width, int height, uint8_t* scratch,
                                        ptrdiff_t& step);

const uint8_t* FetchDirect(const Plane& p, int x, int y, int, int, uint8_t*, ptrdiff_t& step) {
  step = p.step;
  return p.samples + y * p.step + x;
}

// Copies the area with the coordinates clamped on the sides it crosses.
template <bool kLeft, bool kRight, bool kTop, bool kBottom>
const uint8_t* FetchClamped(const Plane& p, int x, int y, int width, int height, uint8_t* scratch, ptrdiff_t& step) {
  for (int row = 0; row < height; ++row) {
    int sy = y + row;
    if constexpr (kTop) sy = std::max(sy, 0);
    if constexpr (kBottom) sy = std::min(sy, p.height - 1);
    const uint8_t* line = p.samples + sy * p.step;
    for (int col = 0; col < width; ++col) {
      int sx = x + col;
      if constexpr (kLeft) sx = std::max(sx, 0);
      if constexpr (kRight) sx = std::min(sx, p.width - 1);
      scratch[row * kScratchStep + col] = line[sx];
    }
  }
  step = kScratchStep;
  return scratch;
}

// By edge mask: bit 0 left, bit 1 right, bit 2 top, bit 3 bottom.  An area
// wider or taller than the picture (pictures of one macroblock) crosses
// opposite edges at once and is clamped on all four sides.
constexpr FetchRoutine kFetch[16] = {
    FetchDirect,
    FetchClamped<true, false, false, false>,
    FetchClamped<false, true, false, false>,
    FetchClamped<true, true, true, true>,
    FetchClamped<false, false, true, false>,
    FetchClamped<true, false, true, false>,
    FetchClamped<false, true, true, false>,
    FetchClamped<true, true, true, true>,
    FetchClamped<false, false, false, true>,
    FetchClamped<true, false, false, true>,
    FetchClamped<false, true, false, true>,
    FetchClamped<true, true, true, true>,
    FetchClamped<true, true, true, true>,
    FetchClamped<true, true, true, true>,
    FetchClamped<true, true, true, true>,
    FetchClamped<true, true, true, true>,
};

const uint8_t* Fetch(const Plane& p, int x, int y, int width, int height, uint8_t* scratch, ptrdiff_t& step) {
  const int mask = (x < 0 ? 1 : 0) | (x + width > p.width ? 2 : 0) | (y < 0 ? 4 : 0) | (y + height > p.height ? 8 : 0);
  return kFetch[mask](p, x, y, width, height, scratch, step);
}

}  // namespace

void FetchReferenceBlock(MotionJob& job, const ReferencePlanes& ref, const MotionPartition& part,
                         MotionScratch& scratch) {
  // Vectors are 16-bit, positions below 2^13: no sum here overflows.  The
  // area widens by the filter margins (2 before, 3 after) only in a
  // direction with a fraction.
  const int marginX = (part.mvx & 3) ? 2 : 0, marginY = (part.mvy & 3) ? 2 : 0;
  const int lx = part.mbx * 16 + part.x + (part.mvx >> 2) - marginX;
  const int ly = part.mby * 16 + part.y + (part.mvy >> 2) - marginY;
  const Plane luma{ref.planes[0], ref.width, ref.height, ref.lineStep};
  const uint8_t* area = Fetch(luma, lx, ly, part.width + (marginX ? 5 : 0), part.height + (marginY ? 5 : 0),
                              scratch.luma, job.srcStep);
  job.src = area + marginY * job.srcStep + marginX;

  const int chromaMvy = part.mvy + ref.chromaMvyOffset;
  job.xF = part.mvx & 7;
  job.yF = chromaMvy & 7;
  const int cx = part.mbx * 8 + part.x / 2 + (part.mvx >> 3), cy = part.mby * 8 + part.y / 2 + (chromaMvy >> 3);
  const int cw = part.width / 2 + (job.xF ? 1 : 0), ch = part.height / 2 + (job.yF ? 1 : 0);
  const Plane cb{ref.planes[1], ref.width / 2, ref.height / 2, ref.lineStep / 2};
  const Plane cr{ref.planes[2], ref.width / 2, ref.height / 2, ref.lineStep / 2};
  job.cbSrc = Fetch(cb, cx, cy, cw, ch, scratch.cb, job.chromaSrcStep);
  job.crSrc = Fetch(cr, cx, cy, cw, ch, scratch.cr, job.chromaSrcStep);
}

void PredictPartition(const KernelSet& k, const ReferencePlanes& ref, const MotionPartition& part,
                      MbSamples& samples) {
  MotionScratch scratch;
  MotionJob job{};
  FetchReferenceBlock(job, ref, part, scratch);

  // Luma: a whole or 8-wide column partition runs 8x16 calls, wider ones
  // 4x8 calls side by side, 4-high sub-partitions 4x4 calls.
  const LumaMcKernel* luma = k.luma4x8;
  int tileW = 4, tileH = 8;
  if (part.height == 16) {
    luma = k.luma8x16;
    tileW = 8;
    tileH = 16;
  } else if (part.height == 4) {
    luma = k.luma4x4;
    tileH = 4;
  }
  const LumaMcKernel lumaKernel = luma[(part.mvx & 3) * 4 + (part.mvy & 3)];
  const uint8_t* lumaSrc = job.src;
  for (int ty = 0; ty < part.height; ty += tileH) {
    for (int tx = 0; tx < part.width; tx += tileW) {
      const int x = part.x + tx, y = part.y + ty;
      job.src = lumaSrc + ty * job.srcStep + tx;
      job.dst = samples.luma[(y >> 3) * 2 + (x >> 3)] + (y & 7) * kMbRowStep + (x & 7);
      lumaKernel(job);
    }
  }

  // Chroma: 8x4 calls for 16-wide partitions, 4x2 for 8-wide ones, 2x2 for
  // sub-partitions.
  const int chromaClass = (job.yF ? 2 : 0) + (job.xF ? 1 : 0);
  ChromaMcKernel chroma = PlainChroma2x2Kernels()[chromaClass];
  int cTileW = 2, cTileH = 2;
  if (part.width == 16) {
    chroma = k.chroma8x4[chromaClass];
    cTileW = 8;
    cTileH = 4;
  } else if (part.width == 8 && part.height >= 8) {
    chroma = k.chroma4x2[chromaClass];
    cTileW = 4;
  }
  const uint8_t* cbSrc = job.cbSrc;
  const uint8_t* crSrc = job.crSrc;
  for (int ty = 0; ty < part.height / 2; ty += cTileH) {
    for (int tx = 0; tx < part.width / 2; tx += cTileW) {
      const ptrdiff_t src = ty * job.chromaSrcStep + tx;
      const int dst = (part.y / 2 + ty) * kMbRowStep + part.x / 2 + tx;
      job.cbSrc = cbSrc + src;
      job.crSrc = crSrc + src;
      job.cbDst = samples.cb + dst;
      job.crDst = samples.cr + dst;
      chroma(job);
    }
  }
}

}  // namespace avc
