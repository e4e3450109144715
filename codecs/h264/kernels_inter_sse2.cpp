// The SSE2 members of the motion-compensation, combination and transform
// slots.  Every kernel gives its plain kernel's bytes on every input: sums
// stay in 16-bit lanes only where their range fits, the centre position's
// second filter pass runs in 32-bit lanes, and every read stays inside the
// area the slot's contract makes readable.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "codecs/h264/kernels_x86.h"

namespace avc {

namespace {

// ---- loads and stores of 4 or 8 samples

inline __m128i Load32(const void* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}
inline __m128i Load64(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline void Store32(void* p, __m128i v) {
  const int32_t word = _mm_cvtsi128_si32(v);
  std::memcpy(p, &word, 4);
}
inline void Store64(void* p, __m128i v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }

template <int kWidth>
inline __m128i LoadBytes(const uint8_t* p) {
  if constexpr (kWidth == 8) return Load64(p);
  else return Load32(p);
}
template <int kWidth>
inline void StoreBytes(uint8_t* p, __m128i v) {
  if constexpr (kWidth == 8) Store64(p, v);
  else Store32(p, v);
}
template <int kWidth>
inline __m128i LoadWide(const uint8_t* p) {
  return _mm_unpacklo_epi8(LoadBytes<kWidth>(p), _mm_setzero_si128());
}

// ---- luma interpolation (clause 8.4.2.2.1)

// a - 5b + 20c + 20d - 5e + f on 16-bit lanes, for sample inputs (0..255):
// the result lies in -2550..10710.
inline __m128i Tap6(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e, __m128i f) {
  const __m128i af = _mm_add_epi16(a, f);
  const __m128i t = _mm_sub_epi16(_mm_slli_epi16(_mm_add_epi16(c, d), 2), _mm_add_epi16(b, e));
  return _mm_add_epi16(af, _mm_add_epi16(t, _mm_slli_epi16(t, 2)));
}

// The unrounded horizontal half-sample sums of one row, lanes x = 0..width-1,
// reading x - 2 .. x + width + 2 only.
template <int kWidth>
inline __m128i HorizontalSums(const uint8_t* p) {
  const __m128i v = _mm_or_si128(Load64(p - 2), _mm_slli_si128(LoadBytes<kWidth>(p + 3), 5));
  const __m128i zero = _mm_setzero_si128();
  return Tap6(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(_mm_srli_si128(v, 1), zero),
              _mm_unpacklo_epi8(_mm_srli_si128(v, 2), zero), _mm_unpacklo_epi8(_mm_srli_si128(v, 3), zero),
              _mm_unpacklo_epi8(_mm_srli_si128(v, 4), zero), _mm_unpacklo_epi8(_mm_srli_si128(v, 5), zero));
}

// Clip255((sum + 16) >> 5), as bytes in the low half.
inline __m128i RoundHalf(__m128i sums) {
  return _mm_packus_epi16(_mm_srai_epi16(_mm_add_epi16(sums, _mm_set1_epi16(16)), 5), _mm_setzero_si128());
}

// Clip255((tap over six rows of horizontal sums + 512) >> 10).  The tap
// reaches 475320, so the weighting runs in 32-bit lanes; the pair sums
// (within -5100..21420) still fit 16 bits.
inline __m128i RoundCentre(const __m128i* sums) {
  const __m128i af = _mm_add_epi16(sums[0], sums[5]);
  const __m128i be = _mm_add_epi16(sums[1], sums[4]);
  const __m128i cd = _mm_add_epi16(sums[2], sums[3]);
  const __m128i oneMinusFive = _mm_set1_epi32(static_cast<int32_t>(0xFFFB0001u));  // (1, -5)
  const __m128i twentyRound = _mm_set1_epi32((512 << 16) | 20);                    // (20, 512)
  const __m128i one = _mm_set1_epi16(1);
  const __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(af, be), oneMinusFive),
                                   _mm_madd_epi16(_mm_unpacklo_epi16(cd, one), twentyRound));
  const __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(af, be), oneMinusFive),
                                   _mm_madd_epi16(_mm_unpackhi_epi16(cd, one), twentyRound));
  const __m128i words = _mm_packs_epi32(_mm_srai_epi32(lo, 10), _mm_srai_epi32(hi, 10));
  return _mm_packus_epi16(words, _mm_setzero_si128());
}

// One block at one quarter-sample position; blocks taller than 8 rows
// continue in the 8x8 block below (64 samples on).
template <int kPosition, int kWidth, int kHeight>
void LumaMc(const MotionJob& job) {
  constexpr int kX = kPosition / 4, kY = kPosition % 4;
  constexpr bool kHorizontal = kY == 0 && kX != 0;  // a, b, c
  constexpr bool kVertical = kX == 0 && kY != 0;    // d, h, n
  constexpr bool kUsesCentre = kPosition == 9 || kPosition == 6 || kPosition == 10 || kPosition == 14 ||
                               kPosition == 11;    // f, i, j, k, q
  constexpr bool kDiagonal = kX != 0 && kY != 0 && !kUsesCentre;  // e, g, p, r
  const uint8_t* const src = job.src;
  const ptrdiff_t step = job.srcStep;
  auto out = [&](int y) { return job.dst + (y >> 3) * 128 + (y & 7) * kMbRowStep; };

  if constexpr (kPosition == 0) {
    for (int y = 0; y < kHeight; ++y) StoreBytes<kWidth>(out(y), LoadBytes<kWidth>(src + y * step));
  } else if constexpr (kHorizontal) {
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = src + y * step;
      __m128i v = RoundHalf(HorizontalSums<kWidth>(row));
      if constexpr (kX == 1) v = _mm_avg_epu8(v, LoadBytes<kWidth>(row));
      if constexpr (kX == 3) v = _mm_avg_epu8(v, LoadBytes<kWidth>(row + 1));
      StoreBytes<kWidth>(out(y), v);
    }
  } else if constexpr (kVertical) {
    __m128i g[kHeight + 5];
    for (int r = 0; r < kHeight + 5; ++r) g[r] = LoadWide<kWidth>(src + (r - 2) * step);
    for (int y = 0; y < kHeight; ++y) {
      __m128i v = RoundHalf(Tap6(g[y], g[y + 1], g[y + 2], g[y + 3], g[y + 4], g[y + 5]));
      if constexpr (kY == 1) v = _mm_avg_epu8(v, LoadBytes<kWidth>(src + y * step));
      if constexpr (kY == 3) v = _mm_avg_epu8(v, LoadBytes<kWidth>(src + (y + 1) * step));
      StoreBytes<kWidth>(out(y), v);
    }
  } else if constexpr (kDiagonal) {
    // The horizontal half sample of row y (or y + 1) averaged with the
    // vertical one of column x (or x + 1).
    constexpr int kRow = kY == 3 ? 1 : 0, kColumn = kX == 3 ? 1 : 0;
    __m128i g[kHeight + 5];
    for (int r = 0; r < kHeight + 5; ++r) g[r] = LoadWide<kWidth>(src + (r - 2) * step + kColumn);
    for (int y = 0; y < kHeight; ++y) {
      const __m128i b = RoundHalf(HorizontalSums<kWidth>(src + (y + kRow) * step));
      const __m128i h = RoundHalf(Tap6(g[y], g[y + 1], g[y + 2], g[y + 3], g[y + 4], g[y + 5]));
      StoreBytes<kWidth>(out(y), _mm_avg_epu8(b, h));
    }
  } else {
    __m128i sums[kHeight + 5];
    for (int r = 0; r < kHeight + 5; ++r) sums[r] = HorizontalSums<kWidth>(src + (r - 2) * step);
    [[maybe_unused]] __m128i g[kHeight + 5];
    if constexpr (kPosition == 6 || kPosition == 14) {
      constexpr int kColumn = kPosition == 14 ? 1 : 0;
      for (int r = 0; r < kHeight + 5; ++r) g[r] = LoadWide<kWidth>(src + (r - 2) * step + kColumn);
    }
    for (int y = 0; y < kHeight; ++y) {
      __m128i v = RoundCentre(sums + y);
      if constexpr (kPosition == 9) v = _mm_avg_epu8(v, RoundHalf(sums[y + 2]));
      if constexpr (kPosition == 11) v = _mm_avg_epu8(v, RoundHalf(sums[y + 3]));
      if constexpr (kPosition == 6 || kPosition == 14)
        v = _mm_avg_epu8(v, RoundHalf(Tap6(g[y], g[y + 1], g[y + 2], g[y + 3], g[y + 4], g[y + 5])));
      StoreBytes<kWidth>(out(y), v);
    }
  }
}

template <int kWidth, int kHeight, size_t... kPosition>
void FillLuma(LumaMcKernel (&table)[16], std::index_sequence<kPosition...>) {
  ((table[kPosition] = LumaMc<kPosition, kWidth, kHeight>), ...);
}

// ---- chroma interpolation (clause 8.4.2.2.2)

template <int kClass, int kWidth, int kHeight>
void ChromaPlaneMc(const uint8_t* src, ptrdiff_t step, int xF, int yF, uint8_t* dst) {
  const __m128i four = _mm_set1_epi16(4);
  if constexpr (kClass == 3) {
    const __m128i wA = _mm_set1_epi16(static_cast<int16_t>((8 - xF) * (8 - yF)));
    const __m128i wB = _mm_set1_epi16(static_cast<int16_t>(xF * (8 - yF)));
    const __m128i wC = _mm_set1_epi16(static_cast<int16_t>((8 - xF) * yF));
    const __m128i wD = _mm_set1_epi16(static_cast<int16_t>(xF * yF));
    __m128i a = LoadWide<kWidth>(src), b = LoadWide<kWidth>(src + 1);
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* below = src + (y + 1) * step;
      const __m128i c = LoadWide<kWidth>(below), d = LoadWide<kWidth>(below + 1);
      __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, wA), _mm_mullo_epi16(b, wB));
      sum = _mm_add_epi16(sum, _mm_add_epi16(_mm_mullo_epi16(c, wC), _mm_mullo_epi16(d, wD)));
      sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(32)), 6);
      StoreBytes<kWidth>(dst + y * kMbRowStep, _mm_packus_epi16(sum, sum));
      a = c;
      b = d;
    }
  } else {
    const ptrdiff_t next = kClass == 1 ? 1 : step;
    const __m128i f = _mm_set1_epi16(static_cast<int16_t>(kClass == 1 ? xF : yF));
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = src + y * step;
      if constexpr (kClass == 0) {
        StoreBytes<kWidth>(dst + y * kMbRowStep, LoadBytes<kWidth>(row));
      } else {
        const __m128i a = LoadWide<kWidth>(row), b = LoadWide<kWidth>(row + next);
        const __m128i delta = _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(b, a), f), four), 3);
        const __m128i v = _mm_add_epi16(a, delta);
        StoreBytes<kWidth>(dst + y * kMbRowStep, _mm_packus_epi16(v, v));
      }
    }
  }
}

template <int kClass, int kWidth, int kHeight>
void ChromaMc(const MotionJob& job) {
  ChromaPlaneMc<kClass, kWidth, kHeight>(job.cbSrc, job.chromaSrcStep, job.xF, job.yF, job.cbDst);
  ChromaPlaneMc<kClass, kWidth, kHeight>(job.crSrc, job.chromaSrcStep, job.xF, job.yF, job.crDst);
}

template <int kWidth, int kHeight>
void FillChroma(ChromaMcKernel (&table)[4]) {
  table[0] = ChromaMc<0, kWidth, kHeight>;
  table[1] = ChromaMc<1, kWidth, kHeight>;
  table[2] = ChromaMc<2, kWidth, kHeight>;
  table[3] = ChromaMc<3, kWidth, kHeight>;
}

// ---- combination (clause 8.4.2.3)

// Rows of a 4x4 chroma area, two to a register: samples widened to 16 bits.
inline __m128i LoadChromaPair(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_unpacklo_epi32(Load32(p), Load32(p + kMbRowStep)), _mm_setzero_si128());
}
inline __m128i LoadResidualPair(const int16_t* r) {
  return _mm_unpacklo_epi64(Load64(r), Load64(r + kMbRowStep));
}
inline void StoreChromaPair(uint8_t* p, __m128i words) {
  const __m128i bytes = _mm_packus_epi16(words, words);
  Store32(p, bytes);
  Store32(p + kMbRowStep, _mm_srli_si128(bytes, 4));
}

// Samples (0..255) plus residuals: the 16-bit sum saturates only where the
// clipped result is 255 anyway.
void AddResidualLuma(uint8_t* samples, const int16_t* residual) {
  for (int y = 0; y < 8; ++y) {
    const __m128i s = LoadWide<8>(samples + y * kMbRowStep);
    const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(residual + y * kMbRowStep));
    const __m128i v = _mm_adds_epi16(s, r);
    Store64(samples + y * kMbRowStep, _mm_packus_epi16(v, v));
  }
}
void AddResidualChroma(uint8_t* samples, const int16_t* residual) {
  for (int y = 0; y < 4; y += 2) {
    const __m128i v = _mm_adds_epi16(LoadChromaPair(samples + y * kMbRowStep),
                                     LoadResidualPair(residual + y * kMbRowStep));
    StoreChromaPair(samples + y * kMbRowStep, v);
  }
}

void CombineDefault(const CombinationJob& job) {
  if (job.lumaCoded) AddResidualLuma(job.luma, job.lumaResidual);
  if (job.chromaCoded) {
    AddResidualChroma(job.cb, job.cbResidual);
    AddResidualChroma(job.cr, job.crResidual);
  }
}

// Clip255(((s * weight + round) >> log2Denom) + offset) with the residual
// added and clipped again.  The slice header admits weights -128..128,
// offsets -128..127 and denominators 0..7, so s * weight + round and the
// offset sum stay within 16 bits.
struct Weighting {
  Weighting(int weight, int offset, int log2Denom)
      : weight(_mm_set1_epi16(static_cast<int16_t>(weight))),
        round(_mm_set1_epi16(static_cast<int16_t>(log2Denom > 0 ? 1 << (log2Denom - 1) : 0))),
        offset(_mm_set1_epi16(static_cast<int16_t>(offset))),
        shift(_mm_cvtsi32_si128(log2Denom)) {}
  __m128i Apply(__m128i samples) const {
    const __m128i scaled = _mm_sra_epi16(_mm_add_epi16(_mm_mullo_epi16(samples, weight), round), shift);
    const __m128i v = _mm_add_epi16(scaled, offset);
    return _mm_unpacklo_epi8(_mm_packus_epi16(v, v), _mm_setzero_si128());
  }
  __m128i weight, round, offset, shift;
};

void WeightLuma(uint8_t* samples, const int16_t* residual, bool coded, const Weighting& w) {
  for (int y = 0; y < 8; ++y) {
    __m128i v = w.Apply(LoadWide<8>(samples + y * kMbRowStep));
    if (coded) v = _mm_adds_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(residual + y * kMbRowStep)));
    Store64(samples + y * kMbRowStep, _mm_packus_epi16(v, v));
  }
}
void WeightChroma(uint8_t* samples, const int16_t* residual, bool coded, const Weighting& w) {
  for (int y = 0; y < 4; y += 2) {
    __m128i v = w.Apply(LoadChromaPair(samples + y * kMbRowStep));
    if (coded) v = _mm_adds_epi16(v, LoadResidualPair(residual + y * kMbRowStep));
    StoreChromaPair(samples + y * kMbRowStep, v);
  }
}

void CombineExplicit(const CombinationJob& job) {
  WeightLuma(job.luma, job.lumaResidual, job.lumaCoded, {job.lumaWeight, job.lumaOffset, job.lumaLog2Denom});
  WeightChroma(job.cb, job.cbResidual, job.chromaCoded,
               {job.chromaWeight[0], job.chromaOffset[0], job.chromaLog2Denom});
  WeightChroma(job.cr, job.crResidual, job.chromaCoded,
               {job.chromaWeight[1], job.chromaOffset[1], job.chromaLog2Denom});
}

// ---- transforms (clause 8.5.12)

inline void Transpose4x4(__m128i& r0, __m128i& r1, __m128i& r2, __m128i& r3) {
  const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
  const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
  r0 = _mm_unpacklo_epi64(t0, t1);
  r1 = _mm_unpackhi_epi64(t0, t1);
  r2 = _mm_unpacklo_epi64(t2, t3);
  r3 = _mm_unpackhi_epi64(t2, t3);
}

// One butterfly pass over four vectors of 32-bit lanes, wrapping as the
// plain kernel's 32-bit sums do.
inline void Butterfly(__m128i& v0, __m128i& v1, __m128i& v2, __m128i& v3) {
  const __m128i e0 = _mm_add_epi32(v0, v2), e1 = _mm_sub_epi32(v0, v2);
  const __m128i e2 = _mm_sub_epi32(_mm_srai_epi32(v1, 1), v3), e3 = _mm_add_epi32(v1, _mm_srai_epi32(v3, 1));
  v0 = _mm_add_epi32(e0, e3);
  v1 = _mm_add_epi32(e1, e2);
  v2 = _mm_sub_epi32(e1, e2);
  v3 = _mm_sub_epi32(e0, e3);
}

// The scaled residual (h + 32) >> 6 by rows, saturated to 16 bits.
inline void ResidualRows(const int32_t* c, __m128i& rows01, __m128i& rows23) {
  __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
  __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 4));
  __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8));
  __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 12));
  Transpose4x4(r0, r1, r2, r3);  // columns: the row pass works on all rows at once
  Butterfly(r0, r1, r2, r3);
  Transpose4x4(r0, r1, r2, r3);  // back to rows for the column pass
  Butterfly(r0, r1, r2, r3);
  const __m128i round = _mm_set1_epi32(32);
  r0 = _mm_srai_epi32(_mm_add_epi32(r0, round), 6);
  r1 = _mm_srai_epi32(_mm_add_epi32(r1, round), 6);
  r2 = _mm_srai_epi32(_mm_add_epi32(r2, round), 6);
  r3 = _mm_srai_epi32(_mm_add_epi32(r3, round), 6);
  rows01 = _mm_packs_epi32(r0, r1);
  rows23 = _mm_packs_epi32(r2, r3);
}

void InverseTransform(int16_t* residual, ptrdiff_t rowStep, const int32_t* c) {
  __m128i rows01, rows23;
  ResidualRows(c, rows01, rows23);
  Store64(residual, rows01);
  Store64(residual + rowStep, _mm_srli_si128(rows01, 8));
  Store64(residual + 2 * rowStep, rows23);
  Store64(residual + 3 * rowStep, _mm_srli_si128(rows23, 8));
}

// Samples plus residuals saturated to 16 bits: any residual beyond that
// range clips to the same sample.
inline void AddRows(uint8_t* dst, ptrdiff_t stride, __m128i rows01, __m128i rows23) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i s01 = _mm_unpacklo_epi8(_mm_unpacklo_epi32(Load32(dst), Load32(dst + stride)), zero);
  const __m128i s23 = _mm_unpacklo_epi8(_mm_unpacklo_epi32(Load32(dst + 2 * stride), Load32(dst + 3 * stride)), zero);
  const __m128i bytes = _mm_packus_epi16(_mm_adds_epi16(s01, rows01), _mm_adds_epi16(s23, rows23));
  Store32(dst, bytes);
  Store32(dst + stride, _mm_srli_si128(bytes, 4));
  Store32(dst + 2 * stride, _mm_srli_si128(bytes, 8));
  Store32(dst + 3 * stride, _mm_srli_si128(bytes, 12));
}

void TransformAdd(uint8_t* dst, ptrdiff_t stride, const int32_t* c) {
  __m128i rows01, rows23;
  ResidualRows(c, rows01, rows23);
  AddRows(dst, stride, rows01, rows23);
}

void DcAdd(uint8_t* dst, ptrdiff_t stride, int32_t dc) {
  // Beyond -255..255 every sample clips the same way.
  const int32_t r = std::clamp((dc + 32) >> 6, -255, 255);
  const __m128i rows = _mm_set1_epi16(static_cast<int16_t>(r));
  AddRows(dst, stride, rows, rows);
}

}  // namespace

void FillSse2InterKernels(KernelSet& k) {
  FillLuma<4, 4>(k.luma4x4, std::make_index_sequence<16>());
  FillLuma<4, 8>(k.luma4x8, std::make_index_sequence<16>());
  FillLuma<8, 16>(k.luma8x16, std::make_index_sequence<16>());
  FillChroma<4, 2>(k.chroma4x2);
  FillChroma<8, 4>(k.chroma8x4);
  k.combination[kCombineDefaultL0] = CombineDefault;
  k.combination[kCombineExplicitL0] = CombineExplicit;
  k.inverseTransform = InverseTransform;
  k.transformAdd = TransformAdd;
  k.dcAdd = DcAdd;
}

}  // namespace avc
