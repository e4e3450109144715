#pragma once
// Every piece of sample work goes through one block of kernel slots, filled
// once when a decoder is created.  The plain set defines the values; a SIMD
// set, when there is one, must give the same bytes.
#include <cstddef>
#include <cstdint>

namespace avc {

// The neighbouring samples of a block about to be predicted, with the
// substitutions of clause 8.3 already made (upper-right copies of the last
// upper sample when that area is not available).
struct IntraEdge {
  uint8_t corner = 128;
  uint8_t top[16] = {};   // 4x4 blocks: 8 samples, upper then upper right
  uint8_t left[16] = {};
  bool hasTop = false;
  bool hasLeft = false;
  bool hasCorner = false;
};

using Intra4x4Kernel = void (*)(uint8_t* dst, ptrdiff_t stride, const IntraEdge& edge);
using Intra16x16Kernel = void (*)(uint8_t* dst, ptrdiff_t stride, const IntraEdge& edge);
using IntraChromaKernel = void (*)(uint8_t* dst, ptrdiff_t stride, const IntraEdge& edge);
// Inverse 4x4 transform of dequantised coefficients (raster order), added
// to the prediction at dst with clipping.
using TransformAddKernel = void (*)(uint8_t* dst, ptrdiff_t stride, const int32_t* coefficients);
// Adds (dc + 32) >> 6 to a 4x4 block: a block whose only coefficient is DC.
using DcAddKernel = void (*)(uint8_t* dst, ptrdiff_t stride, int32_t dc);

// One edge of `length` samples.  `q0` is the first sample on the q side,
// `across` the step from q0 to q1 (and from p0 back to p1), `along` the
// step to the next sample along the edge.  bS[i] covers samples
// i*length/4 to (i+1)*length/4 - 1; tc0[i] is Table 8-17's value for it.
struct EdgeFilterArgs {
  uint8_t* q0;
  ptrdiff_t across;
  ptrdiff_t along;
  int alpha;
  int beta;
  uint8_t bS[4];
  int8_t tc0[4];
};
using EdgeFilterKernel = void (*)(const EdgeFilterArgs& args);

// Inter prediction of a width x height block (clause 8.4.2.2).  Luma:
// `src` is the integer sample of the block's upper-left corner, with two
// samples readable to the left and above and three to the right and below;
// one kernel per quarter-sample position (xFrac * 4 + yFrac).  Chroma: one
// more column and row readable; xF, yF the eighth-sample fractions.
using LumaMcKernel = void (*)(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int width,
                              int height);
using ChromaMcKernel = void (*)(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride,
                                int width, int height, int xF, int yF);
// Explicit weighting of a predicted block in place (clause 8.4.2.3.2):
// ((s * weight + 2^(log2Denom - 1)) >> log2Denom) + offset, clipped.
using WeightKernel = void (*)(uint8_t* block, ptrdiff_t stride, int width, int height, int weight, int offset,
                              int log2Denom);

struct KernelSet {
  Intra4x4Kernel intra4x4[9];
  Intra16x16Kernel intra16x16[4];
  IntraChromaKernel intraChroma[4];
  TransformAddKernel transformAdd;
  DcAddKernel dcAdd;
  EdgeFilterKernel lumaEdge;    // 16 samples
  EdgeFilterKernel chromaEdge;  // 8 samples
  LumaMcKernel lumaMc[16];
  ChromaMcKernel chromaMc;
  WeightKernel weight;
};

const KernelSet& PlainKernels();
// The set for a processor level; the plain set until a SIMD set exists.
const KernelSet& SelectKernels(int32_t cpuLevel);

}  // namespace avc
