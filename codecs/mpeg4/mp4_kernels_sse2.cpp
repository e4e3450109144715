// The SSE2 kernel set: the same arithmetic as the plain kernels, eight
// 16-bit lanes or sixteen bytes at a time.
//
// Built with -msse2 (a no-op on x86-64), so it shares only declarations with
// the rest of the build.
#include "codecs/mpeg4/mp4_kernels_sse2.h"

#include <emmintrin.h>

#include "codecs/mpeg4/mp4_motion.h"

namespace {

// Row pass: per row, the even and odd sums of four products each, formed
// by multiply-add on coefficient pairs, with the row's cosine weights.
struct RowTables {
  alignas(16) int16_t even02[8], even46[8], odd13[8], odd57[8];
};

constexpr RowTables MakeRow(int c0, int c1, int c2, int c3, int c4, int c5, int c6, int c7) {
  auto s = [](int v) { return static_cast<int16_t>(v); };
  return RowTables{
      {s(c0), s(c2), s(c0), s(c6), s(c0), s(-c6), s(c0), s(-c2)},
      {s(c4), s(c6), s(-c4), s(-c2), s(-c4), s(c2), s(c4), s(-c6)},
      {s(c1), s(c3), s(c3), s(-c7), s(c5), s(-c1), s(c7), s(-c5)},
      {s(c5), s(c7), s(-c1), s(-c5), s(c7), s(c3), s(c3), s(-c1)},
  };
}

alignas(16) const RowTables kRow04 = MakeRow(16384, 22725, 21407, 19266, 16384, 12873, 8867, 4520);
alignas(16) const RowTables kRow17 = MakeRow(22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270);
alignas(16) const RowTables kRow26 = MakeRow(21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906);
alignas(16) const RowTables kRow35 = MakeRow(19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315);
const RowTables* const kRows[8] = {&kRow04, &kRow17, &kRow26, &kRow35, &kRow04, &kRow35, &kRow26, &kRow17};
constexpr int kRounder[8] = {65536, 3597, 2260, 1203, 0, 120, 512, 512};

__m128i LoadTable(const int16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }

__m128i RowPass(__m128i x, int row) {
  const RowTables& t = *kRows[row];
  // Words x0 x2 x1 x3 x4 x6 x5 x7: each 32-bit lane holds one pair.
  __m128i v = _mm_shufflelo_epi16(x, _MM_SHUFFLE(3, 1, 2, 0));
  v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(3, 1, 2, 0));
  const __m128i p02 = _mm_shuffle_epi32(v, 0x00), p13 = _mm_shuffle_epi32(v, 0x55);
  const __m128i p46 = _mm_shuffle_epi32(v, 0xAA), p57 = _mm_shuffle_epi32(v, 0xFF);
  __m128i a = _mm_add_epi32(_mm_madd_epi16(p02, LoadTable(t.even02)), _mm_madd_epi16(p46, LoadTable(t.even46)));
  a = _mm_add_epi32(a, _mm_set1_epi32(kRounder[row]));
  const __m128i b = _mm_add_epi32(_mm_madd_epi16(p13, LoadTable(t.odd13)), _mm_madd_epi16(p57, LoadTable(t.odd57)));
  const __m128i sum = _mm_srai_epi32(_mm_add_epi32(a, b), 11);   // y0 y1 y2 y3
  const __m128i diff = _mm_srai_epi32(_mm_sub_epi32(a, b), 11);  // y7 y6 y5 y4
  return _mm_shufflehi_epi16(_mm_packs_epi32(sum, diff), _MM_SHUFFLE(0, 1, 2, 3));
}

void Idct(int16_t* block) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = RowPass(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i)), i);

  const __m128i tan1 = _mm_set1_epi16(13036), tan2 = _mm_set1_epi16(27146);
  const __m128i tan3m1 = _mm_set1_epi16(-21746), cos4 = _mm_set1_epi16(23170);
  const __m128i tp17 = _mm_adds_epi16(r[1], _mm_mulhi_epi16(r[7], tan1));
  const __m128i tm17 = _mm_subs_epi16(_mm_mulhi_epi16(r[1], tan1), r[7]);
  const __m128i tp35 = _mm_adds_epi16(_mm_adds_epi16(_mm_mulhi_epi16(r[5], tan3m1), r[5]), r[3]);
  const __m128i tm35 = _mm_subs_epi16(_mm_adds_epi16(_mm_mulhi_epi16(r[3], tan3m1), r[3]), r[5]);
  const __m128i b0 = _mm_adds_epi16(tp17, tp35);
  const __m128i b3 = _mm_subs_epi16(tm17, tm35);
  const __m128i t1 = _mm_subs_epi16(tp17, tp35);
  const __m128i t2 = _mm_adds_epi16(tm17, tm35);
  const __m128i h1 = _mm_mulhi_epi16(_mm_adds_epi16(t1, t2), cos4);
  const __m128i h2 = _mm_mulhi_epi16(_mm_subs_epi16(t1, t2), cos4);
  const __m128i b1 = _mm_adds_epi16(h1, h1);
  const __m128i b2 = _mm_adds_epi16(h2, h2);
  const __m128i tp26 = _mm_adds_epi16(r[2], _mm_mulhi_epi16(r[6], tan2));
  const __m128i tm26 = _mm_subs_epi16(_mm_mulhi_epi16(r[2], tan2), r[6]);
  const __m128i tp04 = _mm_adds_epi16(r[0], r[4]);
  const __m128i tm04 = _mm_subs_epi16(r[0], r[4]);
  const __m128i a0 = _mm_adds_epi16(tp04, tp26);
  const __m128i a3 = _mm_subs_epi16(tp04, tp26);
  const __m128i a1 = _mm_adds_epi16(tm04, tm26);
  const __m128i a2 = _mm_subs_epi16(tm04, tm26);
  const __m128i out[8] = {
      _mm_srai_epi16(_mm_adds_epi16(a0, b0), 6), _mm_srai_epi16(_mm_adds_epi16(a1, b1), 6),
      _mm_srai_epi16(_mm_adds_epi16(a2, b2), 6), _mm_srai_epi16(_mm_adds_epi16(a3, b3), 6),
      _mm_srai_epi16(_mm_subs_epi16(a3, b3), 6), _mm_srai_epi16(_mm_subs_epi16(a2, b2), 6),
      _mm_srai_epi16(_mm_subs_epi16(a1, b1), 6), _mm_srai_epi16(_mm_subs_epi16(a0, b0), 6),
  };
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), out[i]);
}

void PutBlock(const int16_t* block, uint8_t* dst, ptrdiff_t stride) {
  for (int y = 0; y < 8; y += 2) {
    const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * y));
    const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * y + 8));
    const __m128i bytes = _mm_packus_epi16(r0, r1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * stride), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (y + 1) * stride), _mm_srli_si128(bytes, 8));
  }
}

void AddBlock(const int16_t* block, uint8_t* dst, ptrdiff_t stride) {
  const __m128i zero = _mm_setzero_si128();
  for (int y = 0; y < 8; ++y) {
    uint8_t* line = dst + y * stride;
    const __m128i pixels = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line)), zero);
    const __m128i sum = _mm_adds_epi16(pixels, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * y)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(line), _mm_packus_epi16(sum, sum));
  }
}

// Loads and stores of 8 or 16 bytes.
template <int W>
__m128i Load(const uint8_t* p) {
  if constexpr (W == 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  else return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
template <int W>
void Store(uint8_t* p, __m128i v) {
  if constexpr (W == 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  else _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

// Diagonal half sample of 8 lanes: (a + b + c + d + 2 - r) >> 2.
__m128i Diagonal8(__m128i a, __m128i b, __m128i c, __m128i d, __m128i bias) {
  const __m128i sum = _mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, d));
  return _mm_srli_epi16(_mm_add_epi16(sum, bias), 2);
}

template <int W>
void PredictHalfW(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int h, int halfX,
                  int halfY, int rounding) {
  const __m128i one = _mm_set1_epi8(1);
  for (int y = 0; y < h; ++y, dst += dstStride, src += srcStride) {
    const __m128i a = Load<W>(src);
    __m128i out;
    if (!halfX && !halfY) {
      out = a;
    } else if (halfX && !halfY) {
      const __m128i b = Load<W>(src + 1);
      out = rounding ? _mm_avg_epu8(_mm_subs_epu8(a, one), b) : _mm_avg_epu8(a, b);
    } else if (!halfX) {
      const __m128i c = Load<W>(src + srcStride);
      if (!rounding) out = _mm_avg_epu8(a, c);
      else if (y & 1) out = _mm_avg_epu8(_mm_subs_epu8(a, one), c);
      else out = _mm_avg_epu8(a, _mm_subs_epu8(c, one));
    } else {
      const __m128i zero = _mm_setzero_si128();
      const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(2 - rounding));
      const __m128i b = Load<W>(src + 1), c = Load<W>(src + srcStride), d = Load<W>(src + srcStride + 1);
      const __m128i lo = Diagonal8(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                   _mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero), bias);
      const __m128i hi = Diagonal8(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                   _mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero), bias);
      out = _mm_packus_epi16(lo, hi);
    }
    Store<W>(dst, out);
  }
}

void PredictHalf(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                 int halfX, int halfY, int rounding) {
  if (w == 16) PredictHalfW<16>(dst, dstStride, src, srcStride, h, halfX, halfY, rounding);
  else if (w == 8) PredictHalfW<8>(dst, dstStride, src, srcStride, h, halfX, halfY, rounding);
  else Mp4PredictHalf(dst, dstStride, src, srcStride, w, h, halfX, halfY, rounding);
}

// Average of two byte vectors, rounding up unless `rounding` asks down.
__m128i Average(__m128i a, __m128i b, int rounding) {
  const __m128i up = _mm_avg_epu8(a, b);
  if (!rounding) return up;
  return _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// The half-sample filter over 8 lanes of 16-bit taps t[0..7] (the samples
// three before to four after), as (-1, 3, -6, 20) / 32 with rounding.
__m128i HalfFilter8(const __m128i* t, __m128i bias) {
  const __m128i s0 = _mm_add_epi16(t[3], t[4]), s1 = _mm_add_epi16(t[2], t[5]);
  const __m128i s2 = _mm_add_epi16(t[1], t[6]), s3 = _mm_add_epi16(t[0], t[7]);
  __m128i sum = _mm_mullo_epi16(s0, _mm_set1_epi16(20));
  sum = _mm_sub_epi16(sum, _mm_mullo_epi16(s1, _mm_set1_epi16(6)));
  sum = _mm_add_epi16(sum, _mm_mullo_epi16(s2, _mm_set1_epi16(3)));
  sum = _mm_sub_epi16(sum, s3);
  return _mm_srai_epi16(_mm_add_epi16(sum, bias), 5);
}

// Filters up to 16 lanes: taps[k] holds the W bytes k - 3 samples along.
template <int W>
__m128i HalfFilter(const __m128i* taps, __m128i bias) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo[8], hi[8];
  for (int k = 0; k < 8; ++k) {
    lo[k] = _mm_unpacklo_epi8(taps[k], zero);
    if constexpr (W == 16) hi[k] = _mm_unpackhi_epi8(taps[k], zero);
  }
  const __m128i l = HalfFilter8(lo, bias);
  const __m128i h = W == 16 ? HalfFilter8(hi, bias) : l;
  return _mm_packus_epi16(l, h);
}

template <int W>
__m128i QuarterValue(const __m128i* taps, int frac, int rounding, __m128i bias) {
  const __m128i half = HalfFilter<W>(taps, bias);
  if (frac == 2) return half;
  return frac == 1 ? Average(taps[3], half, rounding) : Average(half, taps[4], rounding);
}

template <int W, int H>
void PredictQuarterWH(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int fracX,
                      int fracY, int rounding) {
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rounding));
  alignas(16) uint8_t rows[(H + 1) * 16];
  const int needed = fracY ? H + 1 : H;
  for (int y = 0; y < needed; ++y) {
    const uint8_t* s = src + y * srcStride;
    if (fracX == 0) {
      Store<W>(rows + y * 16, Load<W>(s));
      continue;
    }
    // The line with three mirrored samples on each side.
    alignas(16) uint8_t e[40] = {};
    for (int k = 0; k <= W; ++k) e[3 + k] = s[k];
    e[2] = s[0], e[1] = s[1], e[0] = s[2];
    e[W + 4] = s[W], e[W + 5] = s[W - 1], e[W + 6] = s[W - 2];
    __m128i taps[8];
    for (int k = 0; k < 8; ++k) taps[k] = Load<W>(e + k);
    Store<W>(rows + y * 16, QuarterValue<W>(taps, fracX, rounding, bias));
  }
  if (fracY == 0) {
    for (int y = 0; y < H; ++y) Store<W>(dst + y * dstStride, Load<W>(rows + y * 16));
    return;
  }
  auto mirrored = [](int k) { return k < 0 ? -1 - k : (k > H ? 2 * H + 1 - k : k); };
  for (int y = 0; y < H; ++y) {
    __m128i taps[8];
    for (int k = 0; k < 8; ++k) taps[k] = Load<W>(rows + mirrored(y + k - 3) * 16);
    Store<W>(dst + y * dstStride, QuarterValue<W>(taps, fracY, rounding, bias));
  }
}

void PredictQuarter(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                    int fracX, int fracY, int rounding) {
  if (w == 16 && h == 16) PredictQuarterWH<16, 16>(dst, dstStride, src, srcStride, fracX, fracY, rounding);
  else if (w == 8 && h == 8) PredictQuarterWH<8, 8>(dst, dstStride, src, srcStride, fracX, fracY, rounding);
  else if (w == 16 && h == 8) PredictQuarterWH<16, 8>(dst, dstStride, src, srcStride, fracX, fracY, rounding);
  else Mp4PredictQuarter(dst, dstStride, src, srcStride, w, h, fracX, fracY, rounding);
}

}  // namespace

void FillMp4Sse2Kernels(Mp4Kernels& set) { set = {Idct, PutBlock, AddBlock, PredictHalf, PredictQuarter}; }
