// The AVX2 kernel set.  This file alone is compiled with -mavx2, so it holds
// only its own functions (internal linkage) and calls out to the baseline
// code for the row walk and the row tails: no shared inline function or
// template is instantiated here.
//
// Converters: 32 pixels per step, two rows that share a chroma row at a time.
// The RGB converters finish a row with one step that overlaps the one before
// (WholeSteps), the packed ones with a 16-pixel half step; what is left goes
// to the scalar row code.  Every store is an ordinary one: the player reads
// each converted picture straight back (the renderer's row copy, snapshots,
// the fisheye views), so a picture written around the caches would only be
// fetched again from memory.
// The 16-bit lane operations (mulhi, adds, packus) are the arithmetic
// yuv_pixel.h states, so the bytes equal the plain set's.
//
// AVX2 unpacks and packs work inside each 128-bit half.  Rather than fixing
// the pixel order after packing, the RGB converters permute the 32 luma
// bytes and the 16 chroma values once on entry so that the in-lane
// interleave already leaves whole runs of pixels in order.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "codecs/pixels/pixel_kernels_x86.h"
#include "codecs/pixels/yuv_coefficients.h"
#include "codecs/pixels/yuv_rows.h"
#include "codecs/pixels/yuv_scalar.h"

namespace {
using yuv_detail::ForEachRowPair;

constexpr int kStep = 32;

inline __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store32(uint8_t* p, __m256i x) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x); }

// Where the 32 pixels of a step sit after the converter's entry permutation
// (a permutation of 32-bit groups, applied to the luma bytes and, with the
// same indices, to the 16-bit chroma values).
enum class Order {
  // No permutation: the colour bytes come out as pixels 0-15 in the low half
  // and 16-31 in the high half; the B, G, R, 0 interleave then yields pixels
  // 0-3 | 16-19, 4-7 | 20-23, 8-11 | 24-27, 12-15 | 28-31.
  kNatural,
  // The B, G, R, 0 interleave yields pixels 0-7, 8-15, 16-23, 24-31.
  kBgr0Runs,
  // The 16-bit colour values come out as pixels 0-15 and 16-31.
  kWordRuns,
};

template <Order kOrder>
inline __m256i Permute(__m256i x) {
  if constexpr (kOrder == Order::kBgr0Runs) {
    return _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
  } else if constexpr (kOrder == Order::kWordRuns) {
    return _mm256_permute4x64_epi64(x, 0xD8);  // 64-bit groups 0, 2, 1, 3
  } else {
    return x;
  }
}

// The chroma terms of 16 chroma samples, each doubled for the two pixels it
// serves, in the order of the luma words they are added to.
struct ChromaTerms32 {
  __m256i redLo, redHi, greenLo, greenHi, blueLo, blueHi;
};

template <Order kOrder>
inline ChromaTerms32 Chroma32(const uint8_t* u, const uint8_t* v) {
  const __m256i bias = _mm256_set1_epi16(128);
  const __m256i u8 = _mm256_slli_epi16(_mm256_sub_epi16(Permute<kOrder>(_mm256_cvtepu8_epi16(Load16(u))), bias), 3);
  const __m256i v8 = _mm256_slli_epi16(_mm256_sub_epi16(Permute<kOrder>(_mm256_cvtepu8_epi16(Load16(v))), bias), 3);
  const __m256i red = _mm256_mulhi_epi16(v8, _mm256_set1_epi16(yuv_detail::kVToRed));
  const __m256i green = _mm256_adds_epi16(_mm256_mulhi_epi16(u8, _mm256_set1_epi16(yuv_detail::kUToGreen)),
                                          _mm256_mulhi_epi16(v8, _mm256_set1_epi16(yuv_detail::kVToGreen)));
  const __m256i blue = _mm256_mulhi_epi16(u8, _mm256_set1_epi16(yuv_detail::kUToBlue));
  return {_mm256_unpacklo_epi16(red, red),     _mm256_unpackhi_epi16(red, red),
          _mm256_unpacklo_epi16(green, green), _mm256_unpackhi_epi16(green, green),
          _mm256_unpacklo_epi16(blue, blue),   _mm256_unpackhi_epi16(blue, blue)};
}

// The luma term of 32 pixels as two vectors of 16-bit values.
struct LumaTerms32 {
  __m256i lo, hi;
};

template <Order kOrder>
inline LumaTerms32 Luma32(const uint8_t* y) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i luma = _mm256_subs_epu8(Permute<kOrder>(Load32(y)), _mm256_set1_epi8(16));  // below 16 is black
  const __m256i scale = _mm256_set1_epi16(yuv_detail::kLuma);
  return {_mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_unpacklo_epi8(luma, zero), 3), scale),
          _mm256_mulhi_epi16(_mm256_slli_epi16(_mm256_unpackhi_epi8(luma, zero), 3), scale)};
}

// Blue, green and red bytes of 32 pixels.
struct Colours {
  __m256i b, g, r;
};

inline Colours Colours32(const LumaTerms32& t, const ChromaTerms32& c) {
  auto colour = [&](__m256i lo, __m256i hi) {
    return _mm256_packus_epi16(_mm256_adds_epi16(t.lo, lo), _mm256_adds_epi16(t.hi, hi));
  };
  return {colour(c.blueLo, c.blueHi), colour(c.greenLo, c.greenHi), colour(c.redLo, c.redHi)};
}

// The B, G, R, 0 interleave: four vectors of eight pixels each, in the
// order the entry permutation arranged.
struct Bgr0 {
  __m256i q[4];
};

inline Bgr0 Interleave(const Colours& c) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i bgLo = _mm256_unpacklo_epi8(c.b, c.g), bgHi = _mm256_unpackhi_epi8(c.b, c.g);
  const __m256i r0Lo = _mm256_unpacklo_epi8(c.r, zero), r0Hi = _mm256_unpackhi_epi8(c.r, zero);
  return {{_mm256_unpacklo_epi16(bgLo, r0Lo), _mm256_unpackhi_epi16(bgLo, r0Lo), _mm256_unpacklo_epi16(bgHi, r0Hi),
           _mm256_unpackhi_epi16(bgHi, r0Hi)}};
}

struct Rgb32Store {
  static constexpr Order kOrder = Order::kBgr0Runs;
  static constexpr int kBytesPerPixel = 4;
  static void Store(const LumaTerms32& t, const ChromaTerms32& c, uint8_t* out) {
    const Bgr0 p = Interleave(Colours32(t, c));
    Store32(out, p.q[0]);
    Store32(out + 32, p.q[1]);
    Store32(out + 64, p.q[2]);
    Store32(out + 96, p.q[3]);
  }
};

struct Rgb24Store {
  static constexpr Order kOrder = Order::kNatural;
  static constexpr int kBytesPerPixel = 3;
  static void Store(const LumaTerms32& t, const ChromaTerms32& c, uint8_t* out) {
    const Bgr0 p = Interleave(Colours32(t, c));
    // Each half's four pixels squeezed into its low 12 bytes.
    const __m256i squeeze = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                             0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i a = _mm256_shuffle_epi8(p.q[0], squeeze);  // pixels 0-3 | 16-19
    const __m256i b = _mm256_shuffle_epi8(p.q[1], squeeze);  // 4-7 | 20-23
    const __m256i c2 = _mm256_shuffle_epi8(p.q[2], squeeze);  // 8-11 | 24-27
    const __m256i d = _mm256_shuffle_epi8(p.q[3], squeeze);  // 12-15 | 28-31
    // Output bytes 0-15 | 48-63, 16-31 | 64-79, 32-47 | 80-95.
    const __m256i o0 = _mm256_or_si256(a, _mm256_bslli_epi128(b, 12));
    const __m256i o1 = _mm256_or_si256(_mm256_bsrli_epi128(b, 4), _mm256_bslli_epi128(c2, 8));
    const __m256i o2 = _mm256_or_si256(_mm256_bsrli_epi128(c2, 8), _mm256_bslli_epi128(d, 4));
    Store32(out, _mm256_permute2x128_si256(o0, o1, 0x20));
    Store32(out + 32, _mm256_permute2x128_si256(o2, o0, 0x30));
    Store32(out + 64, _mm256_permute2x128_si256(o1, o2, 0x31));
  }
};

struct Rgb565Store {
  static constexpr Order kOrder = Order::kWordRuns;
  static constexpr int kBytesPerPixel = 2;
  static void Store(const LumaTerms32& t, const ChromaTerms32& c, uint8_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi16(255);
    auto clamp = [&](__m256i x) { return _mm256_min_epi16(_mm256_max_epi16(x, zero), top); };
    auto pack = [&](__m256i luma, __m256i blue, __m256i green, __m256i red) {
      const __m256i b = clamp(_mm256_adds_epi16(luma, blue));
      const __m256i g = clamp(_mm256_adds_epi16(luma, green));
      const __m256i r = clamp(_mm256_adds_epi16(luma, red));
      return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(r, _mm256_set1_epi16(0xF8)), 8),
                                             _mm256_slli_epi16(_mm256_and_si256(g, _mm256_set1_epi16(0xFC)), 3)),
                             _mm256_srli_epi16(b, 3));
    };
    Store32(out, pack(t.lo, c.blueLo, c.greenLo, c.redLo));
    Store32(out + 32, pack(t.hi, c.blueHi, c.greenHi, c.redHi));
  }
};

// A 1080p destination is bigger than the core's cache: asking for its lines
// ahead of the stores hides the fetch each store would otherwise wait for.
// A prefetch never faults, so running past the row's end is harmless (the
// address is formed as an integer, not as a pointer past the buffer).
inline void PrefetchAhead(const uint8_t* p) {
  constexpr uintptr_t kAhead = 1024;
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(p) + kAhead), _MM_HINT_T0);
}

using ScalarRow = void (*)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int);

// Runs step(x) over a row of `width` pixels and returns where the scalar
// tail starts.  A row that does not end on a step gets one more step, ending
// at most one pixel short of the row's end: it overlaps the step before and
// rewrites those bytes with the same values, which costs less than up to 31
// pixels one at a time.  Steps start on even pixels, at a chroma sample.
// The step is called from one place only, so that it is inlined.
template <typename Step>
inline int WholeSteps(int width, Step step) {
  int x = 0;
  for (bool last = false;; last = true) {
    for (; x + kStep <= width; x += kStep) step(x);
    if (last || x < kStep || width - x < 2) return x;
    x = (width - kStep) & ~1;
  }
}

// The chroma terms are computed once for both rows.
template <typename Packing, ScalarRow Tail>
void RgbPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0, uint8_t* d1,
             int width) {
  constexpr Order kOrder = Packing::kOrder;
  constexpr int kBytes = Packing::kBytesPerPixel;
  const int x = WholeSteps(width, [&](int at) {
    PrefetchAhead(d0 + kBytes * at);
    const ChromaTerms32 c = Chroma32<kOrder>(u + at / 2, v + at / 2);
    Packing::Store(Luma32<kOrder>(y0 + at), c, d0 + kBytes * at);
    if (y1) {
      PrefetchAhead(d1 + kBytes * at);
      Packing::Store(Luma32<kOrder>(y1 + at), c, d1 + kBytes * at);
    }
  });
  if (y1) Tail(y1, u, v, d1, x, width);
  Tail(y0, u, v, d0, x, width);
}

// Packed 4:2:2: kLumaFirst puts the Y bytes first (YUY2) or the chroma bytes
// first (UYVY).  The in-lane interleave gives pixels 0-7 | 16-23 and
// 8-15 | 24-31; two half swaps put them in order.
template <bool kLumaFirst>
inline void Store422(const uint8_t* y, __m256i chroma, uint8_t* out) {
  const __m256i luma = Load32(y);
  const __m256i a = kLumaFirst ? _mm256_unpacklo_epi8(luma, chroma) : _mm256_unpacklo_epi8(chroma, luma);
  const __m256i b = kLumaFirst ? _mm256_unpackhi_epi8(luma, chroma) : _mm256_unpackhi_epi8(chroma, luma);
  Store32(out, _mm256_permute2x128_si256(a, b, 0x20));
  Store32(out + 32, _mm256_permute2x128_si256(a, b, 0x31));
}

// 16 pixels in 128-bit halves.
template <bool kLumaFirst>
inline void Store422Half(const uint8_t* y, __m128i chroma, uint8_t* out) {
  const __m128i luma = Load16(y);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   kLumaFirst ? _mm_unpacklo_epi8(luma, chroma) : _mm_unpacklo_epi8(chroma, luma));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                   kLumaFirst ? _mm_unpackhi_epi8(luma, chroma) : _mm_unpackhi_epi8(chroma, luma));
}

// The packed layouts only move bytes, so an overlapping last step would cost
// as much as it saves: 16 pixels left over (a 720-pixel row) take one half
// step instead, anything less the scalar row code.
template <bool kLumaFirst, ScalarRow Tail>
void PackedPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* d0,
                uint8_t* d1, int width) {
  int x = 0;
  for (; x + kStep <= width; x += kStep) {
    const __m128i us = Load16(u + x / 2), vs = Load16(v + x / 2);
    // U, V pairs of chroma samples 0-7 | 8-15.
    const __m256i chroma = _mm256_setr_m128i(_mm_unpacklo_epi8(us, vs), _mm_unpackhi_epi8(us, vs));
    Store422<kLumaFirst>(y0 + x, chroma, d0 + 2 * x);
    if (y1) Store422<kLumaFirst>(y1 + x, chroma, d1 + 2 * x);
  }
  if (x + kStep / 2 <= width) {
    const __m128i chroma = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2)));
    Store422Half<kLumaFirst>(y0 + x, chroma, d0 + 2 * x);
    if (y1) Store422Half<kLumaFirst>(y1 + x, chroma, d1 + 2 * x);
    x += kStep / 2;
  }
  Tail(y0, u, v, d0, x, width);
  if (y1) Tail(y1, u, v, d1, x, width);
}

void Rgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits) {
  const __m256i fill = _mm256_set1_epi32(static_cast<int>(bits));
  std::size_t i = 0;
  for (; i + 8 <= pixels; i += 8) Store32(to + 4 * i, _mm256_or_si256(Load32(from + 4 * i), fill));
  pixel_kernels::CopyRgb32RowSettingBits(from + 4 * i, to + 4 * i, pixels - i, bits);
}

void Rgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
           int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 3,
                 RgbPair<Rgb24Store, yuv_scalar::Rgb24Row>);
}

void Rgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
           int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 4,
                 RgbPair<Rgb32Store, yuv_scalar::Rgb32Row>);
}

void Rgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
            int width, int height, int dstStride) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 2,
                 RgbPair<Rgb565Store, yuv_scalar::Rgb565Row>);
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

void pixel_kernels::FillAvx2(KernelSet& set) {
  set = {Rgb24, Rgb32, Rgb565, Yuy2, Uyvy, Rgb32RowSettingBits};
}
