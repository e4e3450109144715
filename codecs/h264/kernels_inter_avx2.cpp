// The AVX2 members of the inter slots where the wider registers pay: the
// luma tables (two 8-sample or four 4-sample rows to a register; 4-sample
// blocks only at positions with a horizontal fraction), the 8x4 chroma
// classes with a horizontal fraction (two rows) and the 4x2 chroma class
// with both fractions (Cb and Cr together), with the six-tap and bilinear
// weights applied by byte multiply-adds.  The SSE2 kernels serve the other
// inter slots of the AVX2 set.  Every kernel gives its plain kernel's bytes
// and reads only the area the slot's contract makes readable.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "codecs/h264/kernels_x86.h"

namespace avc {

namespace {

inline __m128i Load64(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

// Two 8-sample rows in the low halves of the two 128-bit lanes.
inline __m256i RowBytes(const uint8_t* first, const uint8_t* second) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load64(first)), Load64(second), 1);
}
// The same two rows widened to 16-bit lanes.
inline __m256i RowWords(const uint8_t* first, const uint8_t* second) {
  return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(Load64(first), Load64(second)));
}
// Stores the low 8 bytes of each lane as two rows.
inline void StoreRows(uint8_t* first, uint8_t* second, __m256i bytes) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(first), _mm256_castsi256_si128(bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(second), _mm256_extracti128_si256(bytes, 1));
}

// ---- luma 8x16 (clause 8.4.2.2.1)

// Samples x - 2 .. x + 10 of a row at bytes 0..12, reading nothing else.
inline __m128i FilterSpan(const uint8_t* p) { return _mm_or_si128(Load64(p - 2), _mm_slli_si128(Load64(p + 3), 5)); }

// The unrounded horizontal six-tap sums of two rows (-2550..10710): byte
// pairs (x-2, x-1), (x, x+1), (x+2, x+3) weighted (1, -5), (20, 20), (-5, 1).
inline __m256i HorizontalSums(const uint8_t* first, const uint8_t* second) {
  const __m256i span = _mm256_inserti128_si256(_mm256_castsi128_si256(FilterSpan(first)), FilterSpan(second), 1);
  const __m256i pairs01 = _mm256_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8,  //
                                           0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8);
  const __m256i two = _mm256_set1_epi8(2), four = _mm256_set1_epi8(4);
  const __m256i outer = _mm256_maddubs_epi16(_mm256_shuffle_epi8(span, pairs01), _mm256_set1_epi16(static_cast<int16_t>(0xFB01)));
  const __m256i inner = _mm256_maddubs_epi16(_mm256_shuffle_epi8(span, _mm256_add_epi8(pairs01, two)),
                                             _mm256_set1_epi16(0x1414));
  const __m256i last = _mm256_maddubs_epi16(_mm256_shuffle_epi8(span, _mm256_add_epi8(pairs01, four)),
                                            _mm256_set1_epi16(static_cast<int16_t>(0x01FB)));
  return _mm256_add_epi16(_mm256_add_epi16(outer, inner), last);
}

// a - 5b + 20c + 20d - 5e + f on 16-bit lanes of samples (-2550..10710).
inline __m256i Tap6(__m256i a, __m256i b, __m256i c, __m256i d, __m256i e, __m256i f) {
  const __m256i t = _mm256_sub_epi16(_mm256_slli_epi16(_mm256_add_epi16(c, d), 2), _mm256_add_epi16(b, e));
  return _mm256_add_epi16(_mm256_add_epi16(a, f), _mm256_add_epi16(t, _mm256_slli_epi16(t, 2)));
}

// Clip255((sum + 16) >> 5) in the low 8 bytes of each lane.
inline __m256i RoundHalf(__m256i sums) {
  const __m256i v = _mm256_srai_epi16(_mm256_add_epi16(sums, _mm256_set1_epi16(16)), 5);
  return _mm256_packus_epi16(v, v);
}

// Clip255((six-tap over horizontal sums + 512) >> 10); the weighting runs
// in 32-bit lanes since the tap reaches 475320.
inline __m256i RoundCentre(__m256i s0, __m256i s1, __m256i s2, __m256i s3, __m256i s4, __m256i s5) {
  const __m256i af = _mm256_add_epi16(s0, s5), be = _mm256_add_epi16(s1, s4), cd = _mm256_add_epi16(s2, s3);
  const __m256i oneMinusFive = _mm256_set1_epi32(static_cast<int32_t>(0xFFFB0001u));  // (1, -5)
  const __m256i twentyRound = _mm256_set1_epi32((512 << 16) | 20);                    // (20, 512)
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(af, be), oneMinusFive),
                                      _mm256_madd_epi16(_mm256_unpacklo_epi16(cd, one), twentyRound));
  const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(af, be), oneMinusFive),
                                      _mm256_madd_epi16(_mm256_unpackhi_epi16(cd, one), twentyRound));
  const __m256i words = _mm256_packs_epi32(_mm256_srai_epi32(lo, 10), _mm256_srai_epi32(hi, 10));
  return _mm256_packus_epi16(words, words);
}

constexpr int kHeight = 16;

// Rows r and r + 1 of the reference, widened, for r = -2 .. 17: entry
// r + 2.  Built from single-row loads, so row 18 + 1 is never read.
struct VerticalRows {
  VerticalRows(const uint8_t* src, ptrdiff_t step) {
    for (int r = -2; r <= kHeight + 1; ++r) rows[r + 2] = RowWords(src + r * step, src + (r + 1) * step);
  }
  // The six-tap of rows y - 2 .. y + 3 for output rows y and y + 1.
  __m256i Sums(int y) const {
    return Tap6(rows[y], rows[y + 1], rows[y + 2], rows[y + 3], rows[y + 4], rows[y + 5]);
  }
  __m256i rows[kHeight + 4];
};

template <int kPosition>
void LumaMc8x16(const MotionJob& job) {
  constexpr int kX = kPosition / 4, kY = kPosition % 4;
  constexpr bool kHorizontal = kY == 0;
  constexpr bool kVertical = kX == 0;
  constexpr bool kUsesCentre = kPosition == 9 || kPosition == 6 || kPosition == 10 || kPosition == 14 ||
                               kPosition == 11;
  static_assert(kPosition != 0, "the copy stays with the SSE2 kernel");
  const uint8_t* const src = job.src;
  const ptrdiff_t step = job.srcStep;
  auto out = [&](int y) { return job.dst + (y >> 3) * 128 + (y & 7) * kMbRowStep; };

  if constexpr (kHorizontal) {
    for (int y = 0; y < kHeight; y += 2) {
      const uint8_t* row = src + y * step;
      __m256i v = RoundHalf(HorizontalSums(row, row + step));
      if constexpr (kX != 2) v = _mm256_avg_epu8(v, RowBytes(row + kX / 2, row + step + kX / 2));
      StoreRows(out(y), out(y + 1), v);
    }
  } else if constexpr (kVertical) {
    const VerticalRows g(src, step);
    for (int y = 0; y < kHeight; y += 2) {
      __m256i v = RoundHalf(g.Sums(y));
      if constexpr (kY != 2) {
        const uint8_t* row = src + (y + kY / 2) * step;
        v = _mm256_avg_epu8(v, RowBytes(row, row + step));
      }
      StoreRows(out(y), out(y + 1), v);
    }
  } else if constexpr (!kUsesCentre) {
    constexpr int kRow = kY == 3 ? 1 : 0, kColumn = kX == 3 ? 1 : 0;
    const VerticalRows g(src + kColumn, step);
    for (int y = 0; y < kHeight; y += 2) {
      const uint8_t* row = src + (y + kRow) * step;
      const __m256i b = RoundHalf(HorizontalSums(row, row + step));
      StoreRows(out(y), out(y + 1), _mm256_avg_epu8(b, RoundHalf(g.Sums(y))));
    }
  } else {
    // Horizontal sums of rows r, r + 1 for r = -2 .. 18 (entry r + 2): even
    // r computed, odd r recombined from their neighbours; row 18 alone
    // fills its pair, so row 19 is never read.
    __m256i sums[kHeight + 5];
    for (int r = -2; r <= kHeight; r += 2) sums[r + 2] = HorizontalSums(src + r * step, src + (r + 1) * step);
    const uint8_t* last = src + (kHeight + 2) * step;
    sums[kHeight + 4] = HorizontalSums(last, last);
    for (int r = -1; r <= kHeight + 1; r += 2)
      sums[r + 2] = _mm256_permute2x128_si256(sums[r + 1], sums[r + 3], 0x21);
    [[maybe_unused]] const uint8_t* columnSrc = src + (kPosition == 14 ? 1 : 0);
    for (int y = 0; y < kHeight; y += 2) {
      __m256i v = RoundCentre(sums[y], sums[y + 1], sums[y + 2], sums[y + 3], sums[y + 4], sums[y + 5]);
      if constexpr (kPosition == 9) v = _mm256_avg_epu8(v, RoundHalf(sums[y + 2]));
      if constexpr (kPosition == 11) v = _mm256_avg_epu8(v, RoundHalf(sums[y + 3]));
      if constexpr (kPosition == 6 || kPosition == 14) {
        const uint8_t* c = columnSrc + y * step;
        const __m256i h = Tap6(RowWords(c - 2 * step, c - step), RowWords(c - step, c), RowWords(c, c + step),
                               RowWords(c + step, c + 2 * step), RowWords(c + 2 * step, c + 3 * step),
                               RowWords(c + 3 * step, c + 4 * step));
        v = _mm256_avg_epu8(v, RoundHalf(h));
      }
      StoreRows(out(y), out(y + 1), v);
    }
  }
}

template <size_t... kPosition>
void FillLuma8x16(LumaMcKernel (&table)[16], std::index_sequence<kPosition...>) {
  ((table[kPosition + 1] = LumaMc8x16<kPosition + 1>), ...);
}

// ---- luma 4x4 and 4x8: four rows to a register, two to each 128-bit lane

inline __m128i Load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// Rows r and r + 1, four samples each, in the low 8 bytes.
inline __m128i PairBytes(const uint8_t* p, ptrdiff_t step) { return _mm_unpacklo_epi32(Load32(p), Load32(p + step)); }
inline __m128i PairWords(const uint8_t* p, ptrdiff_t step) { return _mm_cvtepu8_epi16(PairBytes(p, step)); }

// The horizontal six-tap sums of rows r and r + 1, reading x - 2 .. x + 6:
// byte pairs (x-2, x-1) and (x, x+1) from the load at x - 2, (x+2, x+3)
// from the load at x - 1.
inline __m128i PairSums(const uint8_t* p, ptrdiff_t step) {
  const __m128i near = _mm_unpacklo_epi64(Load64(p - 2), Load64(p + step - 2));
  const __m128i far = _mm_unpacklo_epi64(Load64(p - 1), Load64(p + step - 1));
  const __m128i pairs01 = _mm_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 8, 9, 9, 10, 10, 11, 11, 12);
  const __m128i outer = _mm_maddubs_epi16(_mm_shuffle_epi8(near, pairs01), _mm_set1_epi16(static_cast<int16_t>(0xFB01)));
  const __m128i inner = _mm_maddubs_epi16(_mm_shuffle_epi8(near, _mm_add_epi8(pairs01, _mm_set1_epi8(2))),
                                          _mm_set1_epi16(0x1414));
  const __m128i last = _mm_maddubs_epi16(_mm_shuffle_epi8(far, _mm_add_epi8(pairs01, _mm_set1_epi8(3))),
                                         _mm_set1_epi16(static_cast<int16_t>(0x01FB)));
  return _mm_add_epi16(_mm_add_epi16(outer, inner), last);
}

// Rows y, y + 1 in lane 0 and y + 2, y + 3 in lane 1.
inline __m256i Join(__m128i low, __m128i high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Stores 4 bytes per row from the packed rows y .. y + 3.
inline void StoreQuad(uint8_t* (&rows)[4], __m256i bytes) {
  const __m128i low = _mm256_castsi256_si128(bytes), high = _mm256_extracti128_si256(bytes, 1);
  const int32_t words[4] = {_mm_cvtsi128_si32(low), _mm_cvtsi128_si32(_mm_srli_si128(low, 4)),
                            _mm_cvtsi128_si32(high), _mm_cvtsi128_si32(_mm_srli_si128(high, 4))};
  for (int i = 0; i < 4; ++i) std::memcpy(rows[i], &words[i], 4);
}

// Pairs (r, r + 1) of widened samples for r = -2 .. kRows + 1 (entry r + 2).
template <int kRows>
struct QuadColumn {
  QuadColumn(const uint8_t* src, ptrdiff_t step) {
    for (int r = -2; r <= kRows + 1; ++r) pairs[r + 2] = PairWords(src + r * step, step);
  }
  // The vertical six-tap for output rows y .. y + 3.
  __m256i Sums(int y) const {
    auto tap = [&](int k) { return Join(pairs[y + k], pairs[y + k + 2]); };
    return Tap6(tap(0), tap(1), tap(2), tap(3), tap(4), tap(5));
  }
  __m128i pairs[kRows + 4];
};

template <int kPosition, int kRows>
void LumaMc4(const MotionJob& job) {
  constexpr int kX = kPosition / 4, kY = kPosition % 4;
  constexpr bool kUsesCentre = kPosition == 9 || kPosition == 6 || kPosition == 10 || kPosition == 14 ||
                               kPosition == 11;
  static_assert(kX != 0, "the copy and the vertical-only positions stay with the SSE2 kernels");
  const uint8_t* const src = job.src;
  const ptrdiff_t step = job.srcStep;
  auto store = [&](int y, __m256i bytes) {
    uint8_t* rows[4];
    for (int i = 0; i < 4; ++i) rows[i] = job.dst + ((y + i) >> 3) * 128 + ((y + i) & 7) * kMbRowStep;
    StoreQuad(rows, bytes);
  };
  // The integer samples of rows y .. y + 3 at column `dx`, for averaging.
  auto samples = [&](int y, int dx) {
    const uint8_t* p = src + y * step + dx;
    return Join(PairBytes(p, step), PairBytes(p + 2 * step, step));
  };

  if constexpr (kY == 0) {
    for (int y = 0; y < kRows; y += 4) {
      const uint8_t* p = src + y * step;
      __m256i v = RoundHalf(Join(PairSums(p, step), PairSums(p + 2 * step, step)));
      if constexpr (kX != 2) v = _mm256_avg_epu8(v, samples(y, kX / 2));
      store(y, v);
    }
  } else if constexpr (!kUsesCentre) {
    constexpr int kRow = kY == 3 ? 1 : 0, kColumn = kX == 3 ? 1 : 0;
    const QuadColumn<kRows> g(src + kColumn, step);
    for (int y = 0; y < kRows; y += 4) {
      const uint8_t* p = src + (y + kRow) * step;
      const __m256i b = RoundHalf(Join(PairSums(p, step), PairSums(p + 2 * step, step)));
      store(y, _mm256_avg_epu8(b, RoundHalf(g.Sums(y))));
    }
  } else {
    // Horizontal sums of rows (r, r + 1) for r = -2 .. kRows + 1 (entry
    // r + 2): even r computed, odd r recombined from their neighbours, the
    // last computed as it stands so that no row past kRows + 2 is read.
    __m128i sums[kRows + 4];
    for (int r = -2; r <= kRows; r += 2) sums[r + 2] = PairSums(src + r * step, step);
    sums[kRows + 3] = PairSums(src + (kRows + 1) * step, step);
    for (int r = -1; r < kRows; r += 2) sums[r + 2] = _mm_alignr_epi8(sums[r + 3], sums[r + 1], 8);
    auto centre = [&](int y) {
      auto tap = [&](int k) { return Join(sums[y + k], sums[y + k + 2]); };
      __m256i v = RoundCentre(tap(0), tap(1), tap(2), tap(3), tap(4), tap(5));
      if constexpr (kPosition == 9) v = _mm256_avg_epu8(v, RoundHalf(tap(2)));
      if constexpr (kPosition == 11) v = _mm256_avg_epu8(v, RoundHalf(tap(3)));
      return v;
    };
    if constexpr (kPosition == 6 || kPosition == 14) {
      const QuadColumn<kRows> column(src + kX / 2, step);
      for (int y = 0; y < kRows; y += 4) store(y, _mm256_avg_epu8(centre(y), RoundHalf(column.Sums(y))));
    } else {
      for (int y = 0; y < kRows; y += 4) store(y, centre(y));
    }
  }
}

// Positions 4 .. 15: those with a horizontal fraction.
template <int kRows, size_t... kPosition>
void FillLuma4(LumaMcKernel (&table)[16], std::index_sequence<kPosition...>) {
  ((table[kPosition + 4] = LumaMc4<kPosition + 4, kRows>), ...);
}

// ---- chroma 8x4 (clause 8.4.2.2.2)

// ((8 - xF)(8 - yF) A + xF (8 - yF) B + (8 - xF) yF C + xF yF D + 32) >> 6
// with byte weights (at most 64).  With one fraction zero this is exactly
// the plain kernel's one-direction form A + (((B - A) F + 4) >> 3).
template <int kClass>
void ChromaPlane8x4(const uint8_t* src, ptrdiff_t step, int xF, int yF, uint8_t* dst) {
  const int x = kClass & 1 ? xF : 0, y = kClass & 2 ? yF : 0;
  const __m256i wTop = _mm256_set1_epi16(static_cast<int16_t>(((x * (8 - y)) << 8) | ((8 - x) * (8 - y))));
  const __m256i wBottom = _mm256_set1_epi16(static_cast<int16_t>(((x * y) << 8) | ((8 - x) * y)));
  const __m256i round = _mm256_set1_epi16(32);
  // Row r's samples x and x + 1 interleaved, for rows r and r + 1.
  auto pairs = [&](int r) {
    const uint8_t* p = src + r * step;
    if constexpr (kClass & 1) {
      return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(Load64(p), Load64(p + 1))),
                                     _mm_unpacklo_epi8(Load64(p + step), Load64(p + step + 1)), 1);
    } else {
      const __m128i zero = _mm_setzero_si128();
      return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(Load64(p), zero)),
                                     _mm_unpacklo_epi8(Load64(p + step), zero), 1);
    }
  };
  for (int r = 0; r < 4; r += 2) {
    __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(pairs(r), wTop), round);
    if constexpr (kClass & 2) {
      // Rows r + 1 and r + 2: the second of these is read only here.
      sum = _mm256_add_epi16(sum, _mm256_maddubs_epi16(pairs(r + 1), wBottom));
    }
    const __m256i v = _mm256_srli_epi16(sum, 6);
    StoreRows(dst + r * kMbRowStep, dst + (r + 1) * kMbRowStep, _mm256_packus_epi16(v, v));
  }
}

template <int kClass>
void Chroma8x4(const MotionJob& job) {
  ChromaPlane8x4<kClass>(job.cbSrc, job.chromaSrcStep, job.xF, job.yF, job.cbDst);
  ChromaPlane8x4<kClass>(job.crSrc, job.chromaSrcStep, job.xF, job.yF, job.crDst);
}

// ---- chroma 4x2 with both fractions: Cb in lane 0, Cr in lane 1

// Samples (x, x + 1) interleaved, of the rows at p and p + step.
inline __m128i NeighbourPairs(const uint8_t* p, ptrdiff_t step) {
  return _mm_unpacklo_epi64(_mm_unpacklo_epi8(Load32(p), Load32(p + 1)),
                            _mm_unpacklo_epi8(Load32(p + step), Load32(p + step + 1)));
}

void Chroma4x2Bilinear(const MotionJob& job) {
  const ptrdiff_t step = job.chromaSrcStep;
  const int x = job.xF, y = job.yF;
  const __m256i wTop = _mm256_set1_epi16(static_cast<int16_t>(((x * (8 - y)) << 8) | ((8 - x) * (8 - y))));
  const __m256i wBottom = _mm256_set1_epi16(static_cast<int16_t>(((x * y) << 8) | ((8 - x) * y)));
  const __m256i top = Join(NeighbourPairs(job.cbSrc, step), NeighbourPairs(job.crSrc, step));
  const __m256i bottom = Join(NeighbourPairs(job.cbSrc + step, step), NeighbourPairs(job.crSrc + step, step));
  const __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(top, wTop), _mm256_maddubs_epi16(bottom, wBottom));
  const __m256i v = _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(32)), 6);
  const __m256i bytes = _mm256_packus_epi16(v, v);
  const __m128i cb = _mm256_castsi256_si128(bytes), cr = _mm256_extracti128_si256(bytes, 1);
  const int32_t rows[4] = {_mm_cvtsi128_si32(cb), _mm_cvtsi128_si32(_mm_srli_si128(cb, 4)), _mm_cvtsi128_si32(cr),
                           _mm_cvtsi128_si32(_mm_srli_si128(cr, 4))};
  std::memcpy(job.cbDst, &rows[0], 4);
  std::memcpy(job.cbDst + kMbRowStep, &rows[1], 4);
  std::memcpy(job.crDst, &rows[2], 4);
  std::memcpy(job.crDst + kMbRowStep, &rows[3], 4);
}

}  // namespace

void FillAvx2InterKernels(KernelSet& k) {
  FillLuma8x16(k.luma8x16, std::make_index_sequence<15>());
  FillLuma4<8>(k.luma4x8, std::make_index_sequence<12>());
  FillLuma4<4>(k.luma4x4, std::make_index_sequence<12>());
  // The vertical-only class gains nothing over SSE2 and stays with it.
  k.chroma8x4[1] = Chroma8x4<1>;
  k.chroma8x4[3] = Chroma8x4<3>;
  k.chroma4x2[3] = Chroma4x2Bilinear;
}

}  // namespace avc
