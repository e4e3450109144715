#pragma once
// Every piece of sample work goes through one block of kernel slots, the
// set the library chose (simd_kernel_sets.h), taken when a decoder is
// created.  The plain set defines the values; a SIMD
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

// Inverse 4x4 transform of dequantised coefficients (raster order) into
// 16-bit residuals, `rowStep` values apart.  Values beyond 16 bits saturate:
// added to a prediction of 0..255 and clipped they give the same sample.
using InverseTransformKernel = void (*)(int16_t* residual, ptrdiff_t rowStep, const int32_t* coefficients);

// The macroblock being reconstructed: luma as four 8x8 blocks (upper left,
// upper right, lower left, lower right) of 8-sample rows, Cb and Cr as 8x8
// blocks.  The residual buffer has the same shape.
constexpr ptrdiff_t kMbRowStep = 8;
struct MbSamples {
  alignas(16) uint8_t luma[4][64];
  alignas(16) uint8_t cb[64];
  alignas(16) uint8_t cr[64];
};
struct MbResidual {
  alignas(16) int16_t luma[4][64];
  alignas(16) int16_t cb[64];
  alignas(16) int16_t cr[64];
};

// One interpolation call (clause 8.4.2.2).  Luma: `src` is the integer
// sample of the block's upper-left corner, with two samples readable to the
// left and above and three to the right and below whenever the position has
// a fraction in that direction; `dst` lies in the sample buffer.  Chroma:
// one more column and row readable in each direction with a fraction; xF
// and yF are the eighth-sample fractions.
struct MotionJob {
  const uint8_t* src;
  ptrdiff_t srcStep;
  uint8_t* dst;
  const uint8_t* cbSrc;
  const uint8_t* crSrc;
  ptrdiff_t chromaSrcStep;
  int xF;
  int yF;
  uint8_t* cbDst;
  uint8_t* crDst;
};
// Luma kernels are indexed by (mvx & 3) * 4 + (mvy & 3).  The 8x16 kernel
// writes its lower half into the 8x8 block below its destination's.
using LumaMcKernel = void (*)(const MotionJob& job);
// Chroma kernels are indexed by (yF != 0) * 2 + (xF != 0) and produce Cb
// and Cr together.
using ChromaMcKernel = void (*)(const MotionJob& job);

// Turns the prediction of one 8x8 luma quadrant and its 4x4 Cb and Cr
// areas into reconstructed samples (clause 8.4.2.3): weighting, residual
// and clipping.  Pointers address the quadrant inside MbSamples and
// MbResidual; the residual is read only when the flags say there is one.
// Weights lie in -128..128, offsets in -128..127 and log2 denominators in
// 0..7, as the slice header admits them; SIMD kernels rely on it.
struct CombinationJob {
  uint8_t* luma;
  uint8_t* cb;
  uint8_t* cr;
  const int16_t* lumaResidual;
  const int16_t* cbResidual;
  const int16_t* crResidual;
  bool lumaCoded;
  bool chromaCoded;
  int lumaLog2Denom;
  int lumaWeight;
  int lumaOffset;
  int chromaLog2Denom;
  int chromaWeight[2];
  int chromaOffset[2];
};
using CombinationKernel = void (*)(const CombinationJob& job);
// Combination table entries are 4 * m + k: k = 1 is the single-list-0
// prediction, with m = 0 default and m = 1 explicit weighting.  The other
// entries (second list, bi-prediction, implicit weighting) stay empty.
constexpr int kCombineDefaultL0 = 1;
constexpr int kCombineExplicitL0 = 5;

// Two output lines of a field-coded picture made by the output
// deinterlacer.  source[0] and source[2] are lines of the kept field,
// source[1] the line replaced between them and source[3] the one after;
// previous[] are the same lines of the previous picture.  destination[0]
// gets source[0], destination[1] the replacement.  `counters` holds a
// stillness byte per sample, in pairs of which the first is tested.
// Every row is `width` bytes, an even number of at least 2, and nothing
// outside the rows is read.
struct DeinterlaceRowJob {
  const uint8_t* source[4];
  const uint8_t* previous[4];
  uint8_t* destination[2];
  uint8_t* counters;
  int width;
};
using DeinterlaceRowKernel = void (*)(const DeinterlaceRowJob& job);

struct KernelSet {
  Intra4x4Kernel intra4x4[9];
  Intra16x16Kernel intra16x16[4];
  IntraChromaKernel intraChroma[4];
  TransformAddKernel transformAdd;
  DcAddKernel dcAdd;
  EdgeFilterKernel lumaEdge;    // 16 samples
  EdgeFilterKernel chromaEdge;  // 8 samples
  InverseTransformKernel inverseTransform;
  LumaMcKernel luma4x4[16];
  LumaMcKernel luma4x8[16];
  LumaMcKernel luma8x16[16];
  ChromaMcKernel chroma4x2[4];
  ChromaMcKernel chroma8x4[4];
  CombinationKernel combination[16];
  DeinterlaceRowKernel deinterlace;
};

const KernelSet& PlainKernels();
// The set for a processor level (DetectCpuLevel): plain below SSE2, then
// the highest SIMD set the level runs.
const KernelSet& SelectKernels(int32_t cpuLevel);

}  // namespace avc
