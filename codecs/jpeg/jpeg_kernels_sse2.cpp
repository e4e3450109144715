// The SSE2 set: the plain set's arithmetic on eight 16-bit lanes.
#include <emmintrin.h>

#include <cstring>

#include "codecs/jpeg/jpeg_kernels_plain.h"
#include "codecs/jpeg/jpeg_kernels_sse2.h"

namespace jpeg {

namespace {

// x × c / 2^14 as the plain set has it: high half of (x << 2) × c.
inline __m128i MulHigh(__m128i x, short c) { return _mm_mulhi_epi16(_mm_slli_epi16(x, 2), _mm_set1_epi16(c)); }

// One AAN pass over eight lanes at once: lane j of x[i] is input i of
// transform j.
inline void Aan(__m128i x[8]) {
  const __m128i t10 = _mm_add_epi16(x[0], x[4]), t11 = _mm_sub_epi16(x[0], x[4]);
  const __m128i t13 = _mm_add_epi16(x[2], x[6]);
  const __m128i t12 = _mm_sub_epi16(MulHigh(_mm_sub_epi16(x[2], x[6]), 23170), t13);
  const __m128i e0 = _mm_add_epi16(t10, t13), e3 = _mm_sub_epi16(t10, t13);
  const __m128i e1 = _mm_add_epi16(t11, t12), e2 = _mm_sub_epi16(t11, t12);

  const __m128i z13 = _mm_add_epi16(x[5], x[3]), z10 = _mm_sub_epi16(x[5], x[3]);
  const __m128i z11 = _mm_add_epi16(x[1], x[7]), z12 = _mm_sub_epi16(x[1], x[7]);
  const __m128i o7 = _mm_add_epi16(z11, z13);
  const __m128i o11 = MulHigh(_mm_sub_epi16(z11, z13), 23170);
  const __m128i o10 = _mm_add_epi16(MulHigh(z12, -12540), MulHigh(z10, -30353));
  const __m128i o12 = _mm_add_epi16(MulHigh(z10, -12540), MulHigh(z12, 30273));
  const __m128i o6 = _mm_sub_epi16(o12, o7);
  const __m128i o5 = _mm_sub_epi16(o11, o6);
  const __m128i o4 = _mm_add_epi16(o10, o5);

  x[0] = _mm_add_epi16(e0, o7);
  x[7] = _mm_sub_epi16(e0, o7);
  x[1] = _mm_add_epi16(e1, o6);
  x[6] = _mm_sub_epi16(e1, o6);
  x[2] = _mm_add_epi16(e2, o5);
  x[5] = _mm_sub_epi16(e2, o5);
  x[4] = _mm_add_epi16(e3, o4);
  x[3] = _mm_sub_epi16(e3, o4);
}

inline void Transpose(__m128i x[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(x[0], x[1]), a1 = _mm_unpackhi_epi16(x[0], x[1]);
  const __m128i a2 = _mm_unpacklo_epi16(x[2], x[3]), a3 = _mm_unpackhi_epi16(x[2], x[3]);
  const __m128i a4 = _mm_unpacklo_epi16(x[4], x[5]), a5 = _mm_unpackhi_epi16(x[4], x[5]);
  const __m128i a6 = _mm_unpacklo_epi16(x[6], x[7]), a7 = _mm_unpackhi_epi16(x[6], x[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  x[0] = _mm_unpacklo_epi64(b0, b4);
  x[1] = _mm_unpackhi_epi64(b0, b4);
  x[2] = _mm_unpacklo_epi64(b1, b5);
  x[3] = _mm_unpackhi_epi64(b1, b5);
  x[4] = _mm_unpacklo_epi64(b2, b6);
  x[5] = _mm_unpackhi_epi64(b2, b6);
  x[6] = _mm_unpacklo_epi64(b3, b7);
  x[7] = _mm_unpackhi_epi64(b3, b7);
}

void FastIdctSse2(const int16_t* coefficients, const uint16_t* prescaled, uint8_t* out, ptrdiff_t stride) {
  __m128i x[8];
  for (int i = 0; i < 8; ++i) {
    x[i] = _mm_mullo_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(prescaled + 8 * i)));
  }
  Aan(x);  // columns
  Transpose(x);
  Aan(x);  // rows
  Transpose(x);
  const __m128i centre = _mm_set1_epi16(128);
  for (int i = 0; i < 8; ++i) {
    const __m128i samples = _mm_adds_epi16(_mm_srai_epi16(x[i], 5), centre);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), _mm_packus_epi16(samples, samples));
  }
}

// (a × ka + b × kb + 32768) >> 16 on 32-bit lanes, back to 16 bits.
inline __m128i MultiplyAddRound(__m128i a, __m128i b, short ka, short kb) {
  const __m128i factors = _mm_setr_epi16(ka, kb, ka, kb, ka, kb, ka, kb);
  const __m128i half = _mm_set1_epi32(32768);
  const __m128i low = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), factors), half), 16);
  const __m128i high = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), factors), half), 16);
  return _mm_packs_epi32(low, high);
}

// Eight pixels: y, cb, cr as 16-bit lanes, chroma already centred.  The
// tables' constants split so that every factor fits 16 bits:
// 91882 = 65536 + 26346, 116130 = 131072 − 14942, −46802 = −65536 + 18734.
inline void ConvertEight(__m128i y, __m128i cb, __m128i cr, uint8_t* rgbx) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i red = _mm_add_epi16(y, _mm_add_epi16(cr, MultiplyAddRound(cr, zero, 26346, 0)));
  const __m128i blue =
      _mm_add_epi16(y, _mm_add_epi16(_mm_add_epi16(cb, cb), MultiplyAddRound(cb, zero, -14942, 0)));
  const __m128i green = _mm_add_epi16(y, _mm_sub_epi16(MultiplyAddRound(cb, cr, -22554, 18734), cr));
  const __m128i r8 = _mm_packus_epi16(red, red), g8 = _mm_packus_epi16(green, green);
  const __m128i b8 = _mm_packus_epi16(blue, blue);
  const __m128i rg = _mm_unpacklo_epi8(r8, g8), bx = _mm_unpacklo_epi8(b8, zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rgbx), _mm_unpacklo_epi16(rg, bx));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rgbx + 16), _mm_unpackhi_epi16(rg, bx));
}

inline __m128i LoadEight(const uint8_t* bytes) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)), _mm_setzero_si128());
}

// Four chroma samples, each for two pixels.
inline __m128i LoadFourTwice(const uint8_t* bytes) {
  int32_t four;
  std::memcpy(&four, bytes, 4);
  const __m128i samples = _mm_cvtsi32_si128(four);
  return _mm_unpacklo_epi8(_mm_unpacklo_epi8(samples, samples), _mm_setzero_si128());
}

void ConvertRowSse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int32_t width, int32_t shift,
                    uint8_t* rgbx) {
  const __m128i centre = _mm_set1_epi16(128);
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const int32_t c = x >> shift;
    const __m128i blue = shift ? LoadFourTwice(cb + c) : LoadEight(cb + c);
    const __m128i red = shift ? LoadFourTwice(cr + c) : LoadEight(cr + c);
    ConvertEight(LoadEight(y + x), _mm_sub_epi16(blue, centre), _mm_sub_epi16(red, centre), rgbx + 4 * x);
  }
  // x is a multiple of 8: the rest keeps the same chroma pairing.
  if (x < width) {
    kPlainJpegKernels.convertRow(y + x, cb + (x >> shift), cr + (x >> shift), width - x, shift, rgbx + 4 * x);
  }
}

void StoreBgrSse2(const uint8_t* rgbx, uint8_t* bgrx, int32_t width) {
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i low = _mm_set1_epi32(0xFF), middle = _mm_set1_epi32(0xFF00);
  int32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgbx + 4 * x));
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgrx + 4 * x));
    const __m128i red = _mm_slli_epi32(_mm_and_si128(in, low), 16);
    const __m128i blue = _mm_and_si128(_mm_srli_epi32(in, 16), low);
    const __m128i bgr = _mm_or_si128(_mm_or_si128(red, blue), _mm_and_si128(in, middle));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bgrx + 4 * x), _mm_or_si128(bgr, _mm_and_si128(old, keep)));
  }
  if (x < width) kPlainJpegKernels.storeBgr(rgbx + 4 * x, bgrx + 4 * x, width - x);
}

}  // namespace

void FillSse2JpegKernels(JpegKernelSet& set) { set = {&FastIdctSse2, &ConvertRowSse2, &StoreBgrSse2}; }

}  // namespace jpeg
