// The SSE2 kernel set.  Converters: 16 pixels per step, two rows that share
// a chroma row at a time, the remainder of each row by the scalar row code,
// so that any width is converted in full and the bytes equal the scalar
// converters'.  The 16-bit lane operations (_mm_mulhi_epi16,
// _mm_adds_epi16, _mm_packus_epi16) are exactly the arithmetic yuv_pixel.h
// states.
//
// Built with -msse2 (a no-op on x86-64), so like the AVX2 file it shares
// only declarations and constants with the rest of the build.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "codecs/pixels/pixel_kernels_x86.h"
#include "codecs/pixels/yuv_coefficients.h"
#include "codecs/pixels/yuv_rows.h"
#include "codecs/pixels/yuv_scalar.h"

namespace {
using namespace yuv_detail;

constexpr int kStep = 16;

inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline void Store16(uint8_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

// The chroma terms of 8 chroma samples, each already doubled for the two
// pixels it serves: lo for pixels 0-7, hi for pixels 8-15.
struct ChromaTerms16 {
  __m128i redLo, redHi, greenLo, greenHi, blueLo, blueHi;
};

inline ChromaTerms16 Chroma16(const uint8_t* u, const uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i u8 = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(Load8(u), zero), bias), 3);
  const __m128i v8 = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(Load8(v), zero), bias), 3);
  const __m128i red = _mm_mulhi_epi16(v8, _mm_set1_epi16(kVToRed));
  const __m128i green = _mm_adds_epi16(_mm_mulhi_epi16(u8, _mm_set1_epi16(kUToGreen)),
                                       _mm_mulhi_epi16(v8, _mm_set1_epi16(kVToGreen)));
  const __m128i blue = _mm_mulhi_epi16(u8, _mm_set1_epi16(kUToBlue));
  return {_mm_unpacklo_epi16(red, red),     _mm_unpackhi_epi16(red, red),
          _mm_unpacklo_epi16(green, green), _mm_unpackhi_epi16(green, green),
          _mm_unpacklo_epi16(blue, blue),   _mm_unpackhi_epi16(blue, blue)};
}

// Blue, green and red bytes of 16 pixels.
struct Colours {
  __m128i b, g, r;
};

inline Colours Colours16(const uint8_t* y, const ChromaTerms16& c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma = _mm_subs_epu8(Load16(y), _mm_set1_epi8(16));  // Y below 16 is black
  const __m128i tLo = _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpacklo_epi8(luma, zero), 3), _mm_set1_epi16(kLuma));
  const __m128i tHi = _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpackhi_epi8(luma, zero), 3), _mm_set1_epi16(kLuma));
  auto colour = [&](__m128i lo, __m128i hi) {
    return _mm_packus_epi16(_mm_adds_epi16(tLo, lo), _mm_adds_epi16(tHi, hi));
  };
  return {colour(c.blueLo, c.blueHi), colour(c.greenLo, c.greenHi), colour(c.redLo, c.redHi)};
}

// Hands sink(i, pixels) the B, G, R, 0 bytes of pixels 4i to 4i+3.
template <typename Bgr0Sink>
inline void Interleave(const Colours& c, Bgr0Sink sink) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLo = _mm_unpacklo_epi8(c.b, c.g), bgHi = _mm_unpackhi_epi8(c.b, c.g);
  const __m128i r0Lo = _mm_unpacklo_epi8(c.r, zero), r0Hi = _mm_unpackhi_epi8(c.r, zero);
  sink(0, _mm_unpacklo_epi16(bgLo, r0Lo));
  sink(1, _mm_unpackhi_epi16(bgLo, r0Lo));
  sink(2, _mm_unpacklo_epi16(bgHi, r0Hi));
  sink(3, _mm_unpackhi_epi16(bgHi, r0Hi));
}

inline void StoreRgb32(const Colours& c, uint8_t* out) {
  Interleave(c, [out](int i, __m128i pixels) { Store16(out + 16 * i, pixels); });
}

// Four B, G, R, 0 pixels squeezed into the low 12 bytes.
inline __m128i Squeeze(__m128i bgr0) {
  // In each 64-bit half the first pixel stays in bytes 0-2 and the second
  // moves down one byte into bytes 3-5 ...
  const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const int high = static_cast<int>(0xFF000000u);
  const __m128i second = _mm_set_epi32(0x0000FFFF, high, 0x0000FFFF, high);
  const __m128i pairs =
      _mm_or_si128(_mm_and_si128(bgr0, first), _mm_and_si128(_mm_srli_epi64(bgr0, 8), second));
  // ... then the upper half's six bytes move down next to the lower half's.
  const __m128i lowSix = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
  const __m128i nextSix = _mm_set_epi32(0, -1, static_cast<int>(0xFFFF0000u), 0);
  return _mm_or_si128(_mm_and_si128(pairs, lowSix), _mm_and_si128(_mm_srli_si128(pairs, 2), nextSix));
}

inline void StoreRgb24(const Colours& c, uint8_t* out) {
  __m128i q[4];
  Interleave(c, [&q](int i, __m128i pixels) { q[i] = Squeeze(pixels); });
  Store16(out, _mm_or_si128(q[0], _mm_slli_si128(q[1], 12)));
  Store16(out + 16, _mm_or_si128(_mm_srli_si128(q[1], 4), _mm_slli_si128(q[2], 8)));
  Store16(out + 32, _mm_or_si128(_mm_srli_si128(q[2], 8), _mm_slli_si128(q[3], 4)));
}

inline void StoreRgb565(const Colours& c, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  auto pack = [](__m128i b, __m128i g, __m128i r) {
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(r, _mm_set1_epi16(0xF8)), 8),
                                     _mm_slli_epi16(_mm_and_si128(g, _mm_set1_epi16(0xFC)), 3)),
                        _mm_srli_epi16(b, 3));
  };
  Store16(out, pack(_mm_unpacklo_epi8(c.b, zero), _mm_unpacklo_epi8(c.g, zero), _mm_unpacklo_epi8(c.r, zero)));
  Store16(out + 16,
          pack(_mm_unpackhi_epi8(c.b, zero), _mm_unpackhi_epi8(c.g, zero), _mm_unpackhi_epi8(c.r, zero)));
}

// A 1080p destination is bigger than the core's cache: asking for its lines
// 1 KiB ahead of the stores hides the fetch each store would otherwise wait
// for.  A prefetch never faults, so running past the row's end is harmless
// (the address is formed as an integer, not as a pointer past the buffer).
inline void PrefetchAhead(const uint8_t* p) {
  constexpr uintptr_t kAhead = 1024;
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(p) + kAhead), _MM_HINT_T0);
}

using ScalarRow = void (*)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int);

// The chroma terms are computed once for both rows of a pair.
template <int kBytesPerPixel, void (*Store)(const Colours&, uint8_t*), ScalarRow Tail>
void RgbPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0, uint8_t* d1,
             int width) {
  int x = 0;
  if (y1) {
    for (; x + kStep <= width; x += kStep) {
      PrefetchAhead(d0 + kBytesPerPixel * x);
      PrefetchAhead(d1 + kBytesPerPixel * x);
      const ChromaTerms16 c = Chroma16(u + x / 2, v + x / 2);
      Store(Colours16(y0 + x, c), d0 + kBytesPerPixel * x);
      Store(Colours16(y1 + x, c), d1 + kBytesPerPixel * x);
    }
    Tail(y1, u, v, d1, x, width);
  } else {
    for (; x + kStep <= width; x += kStep) {
      PrefetchAhead(d0 + kBytesPerPixel * x);
      Store(Colours16(y0 + x, Chroma16(u + x / 2, v + x / 2)), d0 + kBytesPerPixel * x);
    }
  }
  Tail(y0, u, v, d0, x, width);
}

// Packed 4:2:2: kLumaFirst puts the Y bytes first (YUY2) or the chroma bytes
// first (UYVY).
template <bool kLumaFirst>
inline void Store422(const uint8_t* y, __m128i chroma, uint8_t* out) {
  const __m128i luma = Load16(y);
  Store16(out, kLumaFirst ? _mm_unpacklo_epi8(luma, chroma) : _mm_unpacklo_epi8(chroma, luma));
  Store16(out + 16, kLumaFirst ? _mm_unpackhi_epi8(luma, chroma) : _mm_unpackhi_epi8(chroma, luma));
}

template <bool kLumaFirst, ScalarRow Tail>
void PackedPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0,
                uint8_t* d1, int width) {
  int x = 0;
  for (; x + kStep <= width; x += kStep) {
    const __m128i chroma = _mm_unpacklo_epi8(Load8(u + x / 2), Load8(v + x / 2));
    Store422<kLumaFirst>(y0 + x, chroma, d0 + 2 * x);
    if (y1) Store422<kLumaFirst>(y1 + x, chroma, d1 + 2 * x);
  }
  Tail(y0, u, v, d0, x, width);
  if (y1) Tail(y1, u, v, d1, x, width);
}

void Rgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits) {
  const __m128i fill = _mm_set1_epi32(static_cast<int>(bits));
  std::size_t i = 0;
  for (; i + 4 <= pixels; i += 4) Store16(to + 4 * i, _mm_or_si128(Load16(from + 4 * i), fill));
  pixel_kernels::CopyRgb32RowSettingBits(from + 4 * i, to + 4 * i, pixels - i, bits);
}

void Rgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
           int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 3,
                 RgbPair<3, StoreRgb24, yuv_scalar::Rgb24Row>);
}

void Rgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
           int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 4,
                 RgbPair<4, StoreRgb32, yuv_scalar::Rgb32Row>);
}

void Rgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
            int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 2,
                 RgbPair<2, StoreRgb565, yuv_scalar::Rgb565Row>);
}

void Yuy2(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
          int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, dstStride,
                 PackedPair<true, yuv_scalar::Yuy2Row>);
}

void Uyvy(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
          int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, dstStride,
                 PackedPair<false, yuv_scalar::UyvyRow>);
}

}  // namespace

void pixel_kernels::FillSse2(KernelSet& set) {
  set = {Rgb24, Rgb32, Rgb565, Yuy2, Uyvy, Rgb32RowSettingBits};
}
