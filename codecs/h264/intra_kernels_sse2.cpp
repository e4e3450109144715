// SSE2 intra predictors.  The 4x4 Vertical, Horizontal and DC modes, the
// 16x16 Horizontal and DC modes and the chroma Horizontal mode keep their
// plain kernels, which measured as fast.
//
// The directional 4x4 modes put the neighbours in one register in the order
// L3 L2 L1 L0 corner T0 ... T7 T7 and work out, for every position at
// once, the two-tap average (a + b + 1) >> 1 and the three-tap filter
// (a + 2b + c + 2) >> 2; each mode's rows are four-byte windows of those.
// The three-tap filter is exact in bytes: with h = (a + c) >> 1, that is
// the rounding average of a and c less their parity, (b + h + 1) >> 1
// equals (a + 2b + c + 2) >> 2.
//
// The plane predictors keep the plain kernel's sums in 16-bit lanes: with
// samples of 0..255 they stay within -11000..20000.
#include <emmintrin.h>

#include <array>
#include <cstring>

#include "codecs/h264/kernels_x86.h"

namespace avc {

namespace {

inline void Store4(uint8_t* p, uint32_t row) { std::memcpy(p, &row, 4); }
// Lanes kFirst to kFirst + 3.
template <int kFirst>
inline uint32_t Bytes4(__m128i x) {
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, kFirst)));
}
inline uint32_t Load4(const uint8_t* p) {
  uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}
inline uint64_t Load8(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// (a + 2b + c + 2) >> 2 with b the lane itself, a the lane before, c the lane after.
inline __m128i ThreeTap(__m128i e) {
  const __m128i before = _mm_slli_si128(e, 1), after = _mm_srli_si128(e, 1);
  const __m128i outer = _mm_sub_epi8(_mm_avg_epu8(before, after),
                                     _mm_and_si128(_mm_xor_si128(before, after), _mm_set1_epi8(1)));
  return _mm_avg_epu8(e, outer);
}
// (a + b + 1) >> 1 with a the lane itself and b the lane after.
inline __m128i TwoTap(__m128i e) { return _mm_avg_epu8(e, _mm_srli_si128(e, 1)); }

// Lanes 0-3 L3..L0, 4 the corner, 5-12 T0..T7, 13 T7 again.
inline __m128i Neighbours(const IntraEdge& e) {
  const uint64_t low = uint64_t(__builtin_bswap32(Load4(e.left))) | (uint64_t(e.corner) << 32) |
                       ((Load8(e.top) & 0xFFFFFF) << 40);
  const uint64_t high = (Load8(e.top + 3) & 0xFFFFFFFFFFull) | (uint64_t(e.top[7]) << 40);
  return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

void I4DiagonalDownLeft(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i f = ThreeTap(Neighbours(e));
  Store4(d, Bytes4<6>(f));
  Store4(d + s, Bytes4<7>(f));
  Store4(d + 2 * s, Bytes4<8>(f));
  Store4(d + 3 * s, Bytes4<9>(f));
}

void I4DiagonalDownRight(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i f = ThreeTap(Neighbours(e));
  Store4(d, Bytes4<4>(f));
  Store4(d + s, Bytes4<3>(f));
  Store4(d + 2 * s, Bytes4<2>(f));
  Store4(d + 3 * s, Bytes4<1>(f));
}

void I4VerticalRight(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i n = Neighbours(e);
  const __m128i f = ThreeTap(n), a = TwoTap(n);
  const uint32_t f0 = Bytes4<0>(f), row0 = Bytes4<4>(a), row1 = Bytes4<4>(f);
  Store4(d, row0);
  Store4(d + s, row1);
  Store4(d + 2 * s, (row0 << 8) | (f0 >> 24));
  Store4(d + 3 * s, (row1 << 8) | ((f0 >> 16) & 0xFF));
}

void I4HorizontalDown(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i n = Neighbours(e);
  const __m128i f = ThreeTap(n), a = TwoTap(n);
  // A0 F1 A1 F2 A2 F3 A3 F4: each row steps two lanes back along it.
  const __m128i pairs = _mm_unpacklo_epi8(a, _mm_srli_si128(f, 1));
  Store4(d, (Bytes4<4>(f) << 8) | (Bytes4<3>(a) & 0xFF));
  Store4(d + s, Bytes4<4>(pairs));
  Store4(d + 2 * s, Bytes4<2>(pairs));
  Store4(d + 3 * s, Bytes4<0>(pairs));
}

void I4VerticalLeft(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i n = Neighbours(e);
  const __m128i f = ThreeTap(n), a = TwoTap(n);
  Store4(d, Bytes4<5>(a));
  Store4(d + s, Bytes4<6>(f));
  Store4(d + 2 * s, Bytes4<6>(a));
  Store4(d + 3 * s, Bytes4<7>(f));
}

void I4HorizontalUp(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  // L0 L1 L2 L3 and L3 repeated: the filters then give L3 where the plain
  // kernel copies it and (L2 + 3 L3 + 2) >> 2 at its one special position.
  const uint64_t last = e.left[3];
  const __m128i u = _mm_cvtsi32_si128(static_cast<int>(Load4(e.left)));
  const __m128i left = _mm_or_si128(u, _mm_set_epi64x(0, static_cast<long long>((last * 0x01010101ull) << 32)));
  const __m128i pairs = _mm_unpacklo_epi8(TwoTap(left), _mm_srli_si128(ThreeTap(left), 1));
  Store4(d, Bytes4<0>(pairs));
  Store4(d + s, Bytes4<2>(pairs));
  Store4(d + 2 * s, Bytes4<4>(pairs));
  Store4(d + 3 * s, Bytes4<6>(pairs));
}

// a + b (x - half + 1) + c (y - half + 1) + 16, then >> 5 and clipped, for a
// block of `size` (8 or 16) columns; a, b and c as the plain kernel forms them.
void PlaneRows(uint8_t* d, ptrdiff_t s, int size, int a, int b, int c) {
  const int half = size / 2;
  const __m128i steps = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i vb = _mm_set1_epi16(static_cast<int16_t>(b)), vc = _mm_set1_epi16(static_cast<int16_t>(c));
  const int first = a + b * (1 - half) + c * (1 - half) + 16;
  __m128i left = _mm_add_epi16(_mm_set1_epi16(static_cast<int16_t>(first)), _mm_mullo_epi16(steps, vb));
  __m128i right = _mm_add_epi16(left, _mm_slli_epi16(vb, 3));
  for (int y = 0; y < size; ++y) {
    const __m128i l = _mm_srai_epi16(left, 5);
    if (size == 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + y * s), _mm_packus_epi16(l, _mm_srai_epi16(right, 5)));
    } else {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(d + y * s), _mm_packus_epi16(l, l));
    }
    left = _mm_add_epi16(left, vc);
    right = _mm_add_epi16(right, vc);
  }
}

template <int kSize>
void Plane(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  constexpr int kHalf = kSize / 2;
  auto top = [&](int x) { return x < 0 ? e.corner : e.top[x]; };
  auto left = [&](int y) { return y < 0 ? e.corner : e.left[y]; };
  int h = 0, v = 0;
  for (int i = 0; i < kHalf; ++i) {
    h += (i + 1) * (top(kHalf + i) - top(kHalf - 2 - i));
    v += (i + 1) * (left(kHalf + i) - left(kHalf - 2 - i));
  }
  const int a = 16 * (left(kSize - 1) + top(kSize - 1));
  const int scale = kSize == 16 ? 5 : 34;
  PlaneRows(d, s, kSize, a, (scale * h + 32) >> 6, (scale * v + 32) >> 6);
}

// The plain copies reload the upper samples for every row, since the
// destination might overlap them; one register holds them here.
void I16Vertical(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e.top));
  for (int y = 0; y < 16; ++y) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + y * s), row);
}
void ChromaVertical(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  const __m128i row = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(e.top));
  for (int y = 0; y < 8; ++y) _mm_storel_epi64(reinterpret_cast<__m128i*>(d + y * s), row);
}

// The four 4x4 blocks' means at once: the sums of the upper and the left
// halves, then each block's choice as in the plain kernel.
void ChromaDc(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  // Summed sample by sample: the caller has just stored the samples one by
  // one, and a wider load of them would wait for the stores to complete.
  auto halves = [](const uint8_t* p) {
    return std::array<int, 2>{p[0] + p[1] + p[2] + p[3], p[4] + p[5] + p[6] + p[7]};
  };
  const std::array<int, 2> top = halves(e.top), left = halves(e.left);
  auto one = [](int sum) { return (sum + 2) >> 2; };
  uint32_t dc[2][2] = {};  // every entry is set below; -O3 with sanitizers cannot see it
  for (int by = 0; by < 2; ++by) {
    for (int bx = 0; bx < 2; ++bx) {
      int value = 128;
      if (bx == by) {
        if (e.hasTop && e.hasLeft) value = (top[bx] + left[by] + 4) >> 3;
        else if (e.hasLeft) value = one(left[by]);
        else if (e.hasTop) value = one(top[bx]);
      } else if (bx == 1) {
        if (e.hasTop) value = one(top[bx]);
        else if (e.hasLeft) value = one(left[by]);
      } else {
        if (e.hasLeft) value = one(left[by]);
        else if (e.hasTop) value = one(top[bx]);
      }
      dc[by][bx] = static_cast<uint32_t>(value) * 0x01010101u;
    }
  }
  for (int by = 0; by < 2; ++by) {
    const __m128i row = _mm_cvtsi32_si128(static_cast<int>(dc[by][0]));
    const __m128i both = _mm_unpacklo_epi32(row, _mm_cvtsi32_si128(static_cast<int>(dc[by][1])));
    for (int y = 0; y < 4; ++y) _mm_storel_epi64(reinterpret_cast<__m128i*>(d + (by * 4 + y) * s), both);
  }
}

}  // namespace

void FillSse2IntraKernels(KernelSet& set) {
  set.intra4x4[3] = I4DiagonalDownLeft;
  set.intra4x4[4] = I4DiagonalDownRight;
  set.intra4x4[5] = I4VerticalRight;
  set.intra4x4[6] = I4HorizontalDown;
  set.intra4x4[7] = I4VerticalLeft;
  set.intra4x4[8] = I4HorizontalUp;
  set.intra16x16[0] = I16Vertical;
  set.intra16x16[3] = Plane<16>;
  set.intraChroma[0] = ChromaDc;
  set.intraChroma[2] = ChromaVertical;
  set.intraChroma[3] = Plane<8>;
}

}  // namespace avc
