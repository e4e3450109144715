// The plain inter-prediction kernels: luma quarter-sample interpolation and
// chroma eighth-sample interpolation (clause 8.4.2.2) per block size, and
// the default and explicit combination of an 8x8 quadrant (clause 8.4.2.3),
// written for clarity rather than speed.
#include "codecs/h264/kernels_inter_plain.h"

#include <utility>

namespace avc {

namespace {

inline int Clip255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

inline int Tap(int a, int b, int c, int d, int e, int f) { return a - 5 * b + 20 * c + 20 * d - 5 * e + f; }

// The samples around one integer position of the reference, named as in
// Figure 8-4: G the integer sample, b and h the half samples right of and
// below it, j the centre, s the half sample below b, m the one right of h.
struct Around {
  const uint8_t* g;
  ptrdiff_t stride;
  int At(int x, int y) const { return g[y * stride + x]; }
  int B1(int y) const { return Tap(At(-2, y), At(-1, y), At(0, y), At(1, y), At(2, y), At(3, y)); }
  int H1(int x) const { return Tap(At(x, -2), At(x, -1), At(x, 0), At(x, 1), At(x, 2), At(x, 3)); }
  int B(int y = 0) const { return Clip255((B1(y) + 16) >> 5); }
  int H(int x = 0) const { return Clip255((H1(x) + 16) >> 5); }
  int J() const { return Clip255((Tap(B1(-2), B1(-1), B1(0), B1(1), B1(2), B1(3)) + 512) >> 10); }
};

inline int Avg(int a, int b) { return (a + b + 1) >> 1; }

template <int kX, int kY>
int LumaSample(const Around& n) {
  const int pos = kX * 4 + kY;
  switch (pos) {
    case 0: return n.At(0, 0);
    case 4: return Avg(n.At(0, 0), n.B());        // a
    case 8: return n.B();                          // b
    case 12: return Avg(n.At(1, 0), n.B());       // c
    case 1: return Avg(n.At(0, 0), n.H());        // d
    case 2: return n.H();                          // h
    case 3: return Avg(n.At(0, 1), n.H());        // n
    case 5: return Avg(n.B(), n.H());              // e
    case 13: return Avg(n.B(), n.H(1));            // g
    case 7: return Avg(n.H(), n.B(1));             // p
    case 15: return Avg(n.H(1), n.B(1));           // r
    case 9: return Avg(n.B(), n.J());              // f
    case 6: return Avg(n.H(), n.J());              // i
    case 10: return n.J();                         // j
    case 14: return Avg(n.J(), n.H(1));            // k
    default: return Avg(n.J(), n.B(1));            // q (position 11)
  }
}

// One luma block of kWidth x kHeight at one quarter-sample position; blocks
// taller than 8 rows continue in the 8x8 block below (64 samples on).
template <int kX, int kY, int kWidth, int kHeight>
void LumaMc(const MotionJob& job) {
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = job.dst + (y >> 3) * 128 + (y & 7) * kMbRowStep;
    for (int x = 0; x < kWidth; ++x) {
      const Around n{job.src + y * job.srcStep + x, job.srcStep};
      row[x] = static_cast<uint8_t>(LumaSample<kX, kY>(n));
    }
  }
}

// Class 0 copies; classes 1 and 2 interpolate along one direction, where
// the two-dimensional form reduces exactly to A + (((B - A) * F + 4) >> 3).
template <int kClass, int kWidth, int kHeight>
void ChromaPlaneMc(const uint8_t* src, ptrdiff_t step, int xF, int yF, uint8_t* dst) {
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* r = src + y * step;
    uint8_t* d = dst + y * kMbRowStep;
    for (int x = 0; x < kWidth; ++x) {
      int v;
      if constexpr (kClass == 0) {
        v = r[x];
      } else if constexpr (kClass == 1) {
        v = r[x] + (((r[x + 1] - r[x]) * xF + 4) >> 3);
      } else if constexpr (kClass == 2) {
        v = r[x] + (((r[x + step] - r[x]) * yF + 4) >> 3);
      } else {
        v = ((8 - xF) * (8 - yF) * r[x] + xF * (8 - yF) * r[x + 1] + (8 - xF) * yF * r[x + step] +
             xF * yF * r[x + step + 1] + 32) >>
            6;
      }
      d[x] = static_cast<uint8_t>(v);
    }
  }
}

template <int kClass, int kWidth, int kHeight>
void ChromaMc(const MotionJob& job) {
  ChromaPlaneMc<kClass, kWidth, kHeight>(job.cbSrc, job.chromaSrcStep, job.xF, job.yF, job.cbDst);
  ChromaPlaneMc<kClass, kWidth, kHeight>(job.crSrc, job.chromaSrcStep, job.xF, job.yF, job.crDst);
}

template <int kWidth, int kHeight, size_t... kPosition>
void FillLuma(LumaMcKernel (&table)[16], std::index_sequence<kPosition...>) {
  ((table[kPosition] = LumaMc<kPosition / 4, kPosition % 4, kWidth, kHeight>), ...);
}

template <int kWidth, int kHeight>
void FillChroma(ChromaMcKernel (&table)[4]) {
  table[0] = ChromaMc<0, kWidth, kHeight>;
  table[1] = ChromaMc<1, kWidth, kHeight>;
  table[2] = ChromaMc<2, kWidth, kHeight>;
  table[3] = ChromaMc<3, kWidth, kHeight>;
}

const ChromaMcKernel kChroma2x2[4] = {ChromaMc<0, 2, 2>, ChromaMc<1, 2, 2>, ChromaMc<2, 2, 2>, ChromaMc<3, 2, 2>};

template <int kWidth, int kHeight>
void AddResidual(uint8_t* samples, const int16_t* residual) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t& s = samples[y * kMbRowStep + x];
      s = static_cast<uint8_t>(Clip255(s + residual[y * kMbRowStep + x]));
    }
}

// Default prediction: the prediction is the sample unless a residual comes.
void CombineDefault(const CombinationJob& job) {
  if (job.lumaCoded) AddResidual<8, 8>(job.luma, job.lumaResidual);
  if (job.chromaCoded) {
    AddResidual<4, 4>(job.cb, job.cbResidual);
    AddResidual<4, 4>(job.cr, job.crResidual);
  }
}

// Explicit weighting (clause 8.4.2.3.2) clipped before the residual is
// added, then clipped again.
template <int kWidth, int kHeight>
void Weight(uint8_t* samples, const int16_t* residual, bool coded, int weight, int offset, int log2Denom) {
  const int round = log2Denom > 0 ? 1 << (log2Denom - 1) : 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t& s = samples[y * kMbRowStep + x];
      const int weighted = Clip255(((s * weight + round) >> log2Denom) + offset);
      s = static_cast<uint8_t>(coded ? Clip255(weighted + residual[y * kMbRowStep + x]) : weighted);
    }
}

void CombineExplicit(const CombinationJob& job) {
  Weight<8, 8>(job.luma, job.lumaResidual, job.lumaCoded, job.lumaWeight, job.lumaOffset, job.lumaLog2Denom);
  Weight<4, 4>(job.cb, job.cbResidual, job.chromaCoded, job.chromaWeight[0], job.chromaOffset[0], job.chromaLog2Denom);
  Weight<4, 4>(job.cr, job.crResidual, job.chromaCoded, job.chromaWeight[1], job.chromaOffset[1], job.chromaLog2Denom);
}

}  // namespace

const ChromaMcKernel (&PlainChroma2x2Kernels())[4] { return kChroma2x2; }

void FillPlainInterKernels(KernelSet& k) {
  FillLuma<4, 4>(k.luma4x4, std::make_index_sequence<16>());
  FillLuma<4, 8>(k.luma4x8, std::make_index_sequence<16>());
  FillLuma<8, 16>(k.luma8x16, std::make_index_sequence<16>());
  FillChroma<4, 2>(k.chroma4x2);
  FillChroma<8, 4>(k.chroma8x4);
  k.combination[kCombineDefaultL0] = CombineDefault;
  k.combination[kCombineExplicitL0] = CombineExplicit;
}

}  // namespace avc
