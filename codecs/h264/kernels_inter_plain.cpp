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

inline int Avg(int a, int b) { return (a + b + 1) >> 1; }

// One luma block of kWidth x kHeight at one quarter-sample position
// (Figure 8-4: G the integer sample, b and h the half samples right of and
// below it, j the centre; s is b one row down, m is h one column right).
// The half samples are filtered once per block into small planes, the
// centre from the unrounded horizontal sums of the rows around it; blocks
// taller than 8 rows continue in the 8x8 block below (64 samples on).
template <int kX, int kY, int kWidth, int kHeight>
void LumaMc(const MotionJob& job) {
  constexpr int kPos = kX * 4 + kY;
  // The centre j is used by f, i, j, k and q; b (and s) by a, b, c, e, g,
  // f, and p, r, q; h (and m) by d, h, n, e, i, and g, r, k.
  constexpr bool kCentre = kPos == 9 || kPos == 6 || kPos == 10 || kPos == 14 || kPos == 11;
  constexpr bool kBelowB = kPos == 7 || kPos == 15 || kPos == 11;
  constexpr bool kRightH = kPos == 13 || kPos == 15 || kPos == 14;
  constexpr int kBRows = kBelowB ? kHeight + 1
                         : (kPos == 4 || kPos == 8 || kPos == 12 || kPos == 5 || kPos == 13 || kPos == 9) ? kHeight
                                                                                                           : 0;
  constexpr int kHColumns =
      kRightH ? kWidth + 1 : (kPos == 1 || kPos == 2 || kPos == 3 || kPos == 5 || kPos == 7 || kPos == 6) ? kWidth : 0;

  const uint8_t* const g = job.src;
  const ptrdiff_t step = job.srcStep;
  auto horizontal = [&](int x, int y) {
    const uint8_t* p = g + y * step + x;
    return Tap(p[-2], p[-1], p[0], p[1], p[2], p[3]);
  };
  auto vertical = [&](int x, int y) {
    const uint8_t* p = g + y * step + x;
    return Tap(p[-2 * step], p[-step], p[0], p[step], p[2 * step], p[3 * step]);
  };

  // Unrounded horizontal sums of rows -2 .. kHeight + 2 (centre only).
  int sums[kCentre ? kHeight + 5 : 1][kWidth];
  uint8_t b[kBRows > 0 ? kBRows : 1][kWidth];
  uint8_t h[kHColumns > 0 ? kHeight : 1][kHColumns > 0 ? kHColumns : 1];
  if constexpr (kCentre) {
    for (int r = 0; r < kHeight + 5; ++r)
      for (int x = 0; x < kWidth; ++x) sums[r][x] = horizontal(x, r - 2);
    for (int y = 0; y < kBRows; ++y)
      for (int x = 0; x < kWidth; ++x) b[y][x] = static_cast<uint8_t>(Clip255((sums[y + 2][x] + 16) >> 5));
  } else {
    for (int y = 0; y < kBRows; ++y)
      for (int x = 0; x < kWidth; ++x) b[y][x] = static_cast<uint8_t>(Clip255((horizontal(x, y) + 16) >> 5));
  }
  for (int y = 0; y < (kHColumns > 0 ? kHeight : 0); ++y)
    for (int x = 0; x < kHColumns; ++x) h[y][x] = static_cast<uint8_t>(Clip255((vertical(x, y) + 16) >> 5));

  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = job.dst + (y >> 3) * 128 + (y & 7) * kMbRowStep;
    const uint8_t* src = g + y * step;
    for (int x = 0; x < kWidth; ++x) {
      int j = 0;
      if constexpr (kCentre) {
        j = Clip255((Tap(sums[y][x], sums[y + 1][x], sums[y + 2][x], sums[y + 3][x], sums[y + 4][x], sums[y + 5][x]) +
                     512) >>
                    10);
      }
      int v;
      if constexpr (kPos == 0) v = src[x];
      else if constexpr (kPos == 4) v = Avg(src[x], b[y][x]);                 // a
      else if constexpr (kPos == 8) v = b[y][x];                              // b
      else if constexpr (kPos == 12) v = Avg(src[x + 1], b[y][x]);            // c
      else if constexpr (kPos == 1) v = Avg(src[x], h[y][x]);                 // d
      else if constexpr (kPos == 2) v = h[y][x];                              // h
      else if constexpr (kPos == 3) v = Avg(src[x + step], h[y][x]);          // n
      else if constexpr (kPos == 5) v = Avg(b[y][x], h[y][x]);                // e
      else if constexpr (kPos == 13) v = Avg(b[y][x], h[y][x + 1]);           // g
      else if constexpr (kPos == 7) v = Avg(h[y][x], b[y + 1][x]);            // p
      else if constexpr (kPos == 15) v = Avg(h[y][x + 1], b[y + 1][x]);       // r
      else if constexpr (kPos == 9) v = Avg(b[y][x], j);                      // f
      else if constexpr (kPos == 6) v = Avg(h[y][x], j);                      // i
      else if constexpr (kPos == 10) v = j;                                   // j
      else if constexpr (kPos == 14) v = Avg(j, h[y][x + 1]);                 // k
      else v = Avg(j, b[y + 1][x]);                                           // q (position 11)
      row[x] = static_cast<uint8_t>(v);
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
