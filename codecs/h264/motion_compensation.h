#pragma once
// Inter prediction of one partition from one reference frame (clause
// 8.4.2.2) into the macroblock's sample buffer: the reference area is read
// in place when it lies inside the picture, else copied into a scratch
// block with every coordinate clamped to the picture edge.
#include <cstddef>
#include <cstdint>

#include "codecs/h264/kernel_set.h"

namespace avc {

// A reference frame, or a reference field: its frame's planes from the
// field's first line, with twice the frame's line step.
struct ReferencePlanes {
  const uint8_t* planes[3];
  int width;          // luma samples
  int lineStep;       // luma; chroma has half
  int height;         // luma lines of the frame or field
  int chromaMvyOffset;  // added to the vertical vector for chroma: fields of the other parity
};

// Rows of 24 samples: a 16-sample block and its filter margins.
constexpr int kScratchStep = 24;
struct MotionScratch {
  uint8_t luma[kScratchStep * 21];
  uint8_t cb[kScratchStep * 9];
  uint8_t cr[kScratchStep * 9];
};

// A partition of the macroblock at (mbx, mby), in luma samples from its
// corner: 16x16, 16x8, 8x16, 8x8, 8x4, 4x8 or 4x4 at a position of its
// size, with its vector in quarter samples.
struct MotionPartition {
  int mbx;
  int mby;
  int x;
  int y;
  int width;
  int height;
  int mvx;
  int mvy;
};

// Points the job's luma source at the partition's reference area and its
// chroma sources at the chroma area, building them in `scratch` where they
// cross the picture's edge.
void FetchReferenceBlock(MotionJob& job, const ReferencePlanes& reference, const MotionPartition& partition,
                         MotionScratch& scratch);

// Predicts the partition's luma and chroma into `samples` with the kernels
// of its size.
void PredictPartition(const KernelSet& kernels, const ReferencePlanes& reference, const MotionPartition& partition,
                      MbSamples& samples);

}  // namespace avc
