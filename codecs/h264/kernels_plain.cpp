// The plain kernel set: clauses 8.3.1.2, 8.3.3, 8.3.4, 8.5.12 and 8.7.2 for
// 8-bit samples, written for clarity rather than speed.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "codecs/h264/deinterlace_row.h"
#include "codecs/h264/kernel_set.h"
#include "codecs/h264/kernels_inter_plain.h"

namespace avc {

namespace {

inline uint8_t Clip255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// p[x, -1] for x = -1..7 and p[-1, y] for y = -1..3 of a 4x4 block.
struct Edge4 {
  explicit Edge4(const IntraEdge& e) : edge(e) {}
  int T(int x) const { return x < 0 ? edge.corner : edge.top[x]; }
  int L(int y) const { return y < 0 ? edge.corner : edge.left[y]; }
  const IntraEdge& edge;
};

template <class F>
void Fill4(uint8_t* dst, ptrdiff_t stride, F f) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) dst[y * stride + x] = static_cast<uint8_t>(f(x, y));
}

void I4Vertical(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Fill4(d, s, [&](int x, int) { return e.top[x]; });
}
void I4Horizontal(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Fill4(d, s, [&](int, int y) { return e.left[y]; });
}
void I4Dc(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  int sum = 0, dc = 128;
  if (e.hasTop && e.hasLeft) {
    for (int i = 0; i < 4; ++i) sum += e.top[i] + e.left[i];
    dc = (sum + 4) >> 3;
  } else if (e.hasLeft) {
    for (int i = 0; i < 4; ++i) sum += e.left[i];
    dc = (sum + 2) >> 2;
  } else if (e.hasTop) {
    for (int i = 0; i < 4; ++i) sum += e.top[i];
    dc = (sum + 2) >> 2;
  }
  Fill4(d, s, [&](int, int) { return dc; });
}
void I4DiagonalDownLeft(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    if (x == 3 && y == 3) return (p.T(6) + 3 * p.T(7) + 2) >> 2;
    return (p.T(x + y) + 2 * p.T(x + y + 1) + p.T(x + y + 2) + 2) >> 2;
  });
}
void I4DiagonalDownRight(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    if (x > y) return (p.T(x - y - 2) + 2 * p.T(x - y - 1) + p.T(x - y) + 2) >> 2;
    if (x < y) return (p.L(y - x - 2) + 2 * p.L(y - x - 1) + p.L(y - x) + 2) >> 2;
    return (p.T(0) + 2 * p.T(-1) + p.L(0) + 2) >> 2;
  });
}
void I4VerticalRight(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    const int z = 2 * x - y;
    if (z >= 0 && (z & 1) == 0) return (p.T(x - (y >> 1) - 1) + p.T(x - (y >> 1)) + 1) >> 1;
    if (z >= 0) return (p.T(x - (y >> 1) - 2) + 2 * p.T(x - (y >> 1) - 1) + p.T(x - (y >> 1)) + 2) >> 2;
    if (z == -1) return (p.L(0) + 2 * p.L(-1) + p.T(0) + 2) >> 2;
    return (p.L(y - 1) + 2 * p.L(y - 2) + p.L(y - 3) + 2) >> 2;
  });
}
void I4HorizontalDown(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    const int z = 2 * y - x;
    if (z >= 0 && (z & 1) == 0) return (p.L(y - (x >> 1) - 1) + p.L(y - (x >> 1)) + 1) >> 1;
    if (z >= 0) return (p.L(y - (x >> 1) - 2) + 2 * p.L(y - (x >> 1) - 1) + p.L(y - (x >> 1)) + 2) >> 2;
    if (z == -1) return (p.L(0) + 2 * p.L(-1) + p.T(0) + 2) >> 2;
    return (p.T(x - 1) + 2 * p.T(x - 2) + p.T(x - 3) + 2) >> 2;
  });
}
void I4VerticalLeft(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    const int i = x + (y >> 1);
    if ((y & 1) == 0) return (p.T(i) + p.T(i + 1) + 1) >> 1;
    return (p.T(i) + 2 * p.T(i + 1) + p.T(i + 2) + 2) >> 2;
  });
}
void I4HorizontalUp(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  Edge4 p(e);
  Fill4(d, s, [&](int x, int y) {
    const int z = x + 2 * y;
    const int i = y + (x >> 1);
    if (z > 5) return p.L(3);
    if (z == 5) return (p.L(2) + 3 * p.L(3) + 2) >> 2;
    if ((z & 1) == 0) return (p.L(i) + p.L(i + 1) + 1) >> 1;
    return (p.L(i) + 2 * p.L(i + 1) + p.L(i + 2) + 2) >> 2;
  });
}


void I16Vertical(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  for (int y = 0; y < 16; ++y) std::copy(e.top, e.top + 16, d + y * s);
}
void I16Horizontal(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  for (int y = 0; y < 16; ++y) std::fill(d + y * s, d + y * s + 16, e.left[y]);
}
void I16Dc(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  int sum = 0, dc = 128;
  if (e.hasTop && e.hasLeft) {
    for (int i = 0; i < 16; ++i) sum += e.top[i] + e.left[i];
    dc = (sum + 16) >> 5;
  } else if (e.hasLeft) {
    for (int i = 0; i < 16; ++i) sum += e.left[i];
    dc = (sum + 8) >> 4;
  } else if (e.hasTop) {
    for (int i = 0; i < 16; ++i) sum += e.top[i];
    dc = (sum + 8) >> 4;
  }
  for (int y = 0; y < 16; ++y) std::fill(d + y * s, d + y * s + 16, static_cast<uint8_t>(dc));
}
void PlanePredict(uint8_t* d, ptrdiff_t s, const IntraEdge& e, int size) {
  const int half = size / 2;
  auto top = [&](int x) { return x < 0 ? e.corner : e.top[x]; };
  auto left = [&](int y) { return y < 0 ? e.corner : e.left[y]; };
  int h = 0, v = 0;
  for (int i = 0; i < half; ++i) {
    h += (i + 1) * (top(half + i) - top(half - 2 - i));
    v += (i + 1) * (left(half + i) - left(half - 2 - i));
  }
  const int a = 16 * (left(size - 1) + top(size - 1));
  const int b = size == 16 ? (5 * h + 32) >> 6 : (34 * h + 32) >> 6;
  const int c = size == 16 ? (5 * v + 32) >> 6 : (34 * v + 32) >> 6;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) d[y * s + x] = Clip255((a + b * (x - half + 1) + c * (y - half + 1) + 16) >> 5);
}
void I16Plane(uint8_t* d, ptrdiff_t s, const IntraEdge& e) { PlanePredict(d, s, e, 16); }

void ChromaDc(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  for (int by = 0; by < 2; ++by) {
    for (int bx = 0; bx < 2; ++bx) {
      int sumTop = 0, sumLeft = 0;
      for (int i = 0; i < 4; ++i) {
        sumTop += e.top[bx * 4 + i];
        sumLeft += e.left[by * 4 + i];
      }
      int dc = 128;
      const bool both = e.hasTop && e.hasLeft;
      if (bx == by) {
        if (both) dc = (sumTop + sumLeft + 4) >> 3;
        else if (e.hasLeft) dc = (sumLeft + 2) >> 2;
        else if (e.hasTop) dc = (sumTop + 2) >> 2;
      } else if (bx == 1) {  // upper right: the upper side first
        if (e.hasTop) dc = (sumTop + 2) >> 2;
        else if (e.hasLeft) dc = (sumLeft + 2) >> 2;
      } else {  // lower left: the left side first
        if (e.hasLeft) dc = (sumLeft + 2) >> 2;
        else if (e.hasTop) dc = (sumTop + 2) >> 2;
      }
      for (int y = 0; y < 4; ++y) std::fill(d + (by * 4 + y) * s + bx * 4, d + (by * 4 + y) * s + bx * 4 + 4, static_cast<uint8_t>(dc));
    }
  }
}
void ChromaHorizontal(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  for (int y = 0; y < 8; ++y) std::fill(d + y * s, d + y * s + 8, e.left[y]);
}
void ChromaVertical(uint8_t* d, ptrdiff_t s, const IntraEdge& e) {
  for (int y = 0; y < 8; ++y) std::copy(e.top, e.top + 8, d + y * s);
}
void ChromaPlane(uint8_t* d, ptrdiff_t s, const IntraEdge& e) { PlanePredict(d, s, e, 8); }

// The scaled residual (h + 32) >> 6 of clause 8.5.12.2, in raster order.
void InverseTransformValues(const int32_t* c, int32_t (&out)[16]) {
  int32_t t[16];
  for (int i = 0; i < 4; ++i) {
    const int32_t* r = c + 4 * i;
    const int32_t e0 = r[0] + r[2], e1 = r[0] - r[2];
    const int32_t e2 = (r[1] >> 1) - r[3], e3 = r[1] + (r[3] >> 1);
    t[4 * i + 0] = e0 + e3;
    t[4 * i + 1] = e1 + e2;
    t[4 * i + 2] = e1 - e2;
    t[4 * i + 3] = e0 - e3;
  }
  for (int j = 0; j < 4; ++j) {
    const int32_t f0 = t[j], f1 = t[4 + j], f2 = t[8 + j], f3 = t[12 + j];
    const int32_t g0 = f0 + f2, g1 = f0 - f2, g2 = (f1 >> 1) - f3, g3 = f1 + (f3 >> 1);
    // Straight to `out`: a small array here made the compiler store it in
    // pieces and reload it whole, a store-forwarding stall per column.
    out[j] = (g0 + g3 + 32) >> 6;
    out[4 + j] = (g1 + g2 + 32) >> 6;
    out[8 + j] = (g1 - g2 + 32) >> 6;
    out[12 + j] = (g0 - g3 + 32) >> 6;
  }
}

void TransformAdd(uint8_t* dst, ptrdiff_t stride, const int32_t* c) {
  int32_t r[16];
  InverseTransformValues(c, r);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      uint8_t& sample = dst[i * stride + j];
      sample = Clip255(sample + r[i * 4 + j]);
    }
  }
}

void InverseTransform(int16_t* residual, ptrdiff_t rowStep, const int32_t* c) {
  int32_t r[16];
  InverseTransformValues(c, r);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      residual[i * rowStep + j] = static_cast<int16_t>(std::clamp(r[i * 4 + j], -32768, 32767));
    }
  }
}

void DcAdd(uint8_t* dst, ptrdiff_t stride, int32_t dc) {
  const int32_t r = (dc + 32) >> 6;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) dst[y * stride + x] = Clip255(dst[y * stride + x] + r);
}

// The edge filters' values all fit 16 bits; kept there, the compiler works on
// eight of them per 16-byte register rather than four.  The helpers below
// are branch-free so that the loops using them vectorize.
using Value = int16_t;
inline Value Abs(Value v) { return static_cast<Value>(v < 0 ? -v : v); }
inline Value Clamp(Value v, Value lo, Value hi) { return std::min(std::max(v, lo), hi); }
inline Value Clamp255(Value v) { return Clamp(v, 0, 255); }
// `a` where `mask` is all ones, `b` where it is 0.
inline Value Select(Value mask, Value a, Value b) { return static_cast<Value>(b ^ ((a ^ b) & mask)); }

// The samples on both sides of one edge, a row per distance from it (p3 in
// row 0 down to q3 in the last), each row running along the edge.  Filtering
// rows rather than lines lets the compiler work on a whole edge at once.
template <bool kLuma>
struct EdgeRows {
  static constexpr int kDepth = kLuma ? 4 : 2;  // samples read on each side
  // Chroma's 8 samples padded to 16: the compiler vectorizes whole 16-byte
  // rows with SSE2 alone.
  static constexpr int kLength = 16;
  uint8_t row[2 * kDepth][kLength];
  // The rows the filter may change, p2 (or p0) to q2 (or q0).  Apart from
  // `row`: written in place, an unchanged sample's store is dropped and the
  // loop no longer vectorizes.
  uint8_t out[2 * kDepth - 2][kLength];
  uint8_t bS[kLength];
  int8_t tc0[kLength];
};

// Clause 8.7.2.3 and 8.7.2.4 for every sample pair of the edge; both filters
// are worked out and bS picks one, so no sample takes a branch of its own.
template <bool kLuma>
void FilterRows(EdgeRows<kLuma>& e, Value alpha, Value beta) {
  constexpr int d = EdgeRows<kLuma>::kDepth;
  for (int k = 0; k < EdgeRows<kLuma>::kLength; ++k) {
    const Value p0 = e.row[d - 1][k], p1 = e.row[d - 2][k], q0 = e.row[d][k], q1 = e.row[d + 1][k];
    const Value filter = Value(Abs(p0 - q0) < alpha) & Value(Abs(p1 - p0) < beta) & Value(Abs(q1 - q0) < beta) &
                         Value(e.bS[k] != 0);
    const Value strongEdge = -(e.bS[k] == 4);  // all ones for bS 4
    const Value delta0 = (((q0 - p0) * 4) + (p1 - q1) + 4) >> 3;
    const Value weakP0 = Select(-filter, (2 * p1 + p0 + q1 + 2) >> 2, p0);
    const Value weakQ0 = Select(-filter, (2 * q1 + q0 + p1 + 2) >> 2, q0);
    if (kLuma) {
      const Value p2 = e.row[1][k], q2 = e.row[6][k], p3 = e.row[0][k], q3 = e.row[7][k];
      const Value ap = Abs(p2 - p0) < beta, aq = Abs(q2 - q0) < beta;
      // bS below 4: a pair the filter leaves alone gets a clipping range of 0.
      const Value tc = (e.tc0[k] + ap + aq) & -filter;
      const Value delta = Clamp(delta0, -tc, tc);
      const Value tcP = e.tc0[k] & -(filter & ap), tcQ = e.tc0[k] & -(filter & aq);
      const Value normalP1 = p1 + Clamp((p2 + ((p0 + q0 + 1) >> 1) - (p1 << 1)) >> 1, -tcP, tcP);
      const Value normalQ1 = q1 + Clamp((q2 + ((p0 + q0 + 1) >> 1) - (q1 << 1)) >> 1, -tcQ, tcQ);
      // bS 4.
      const Value strong = Abs(p0 - q0) < ((alpha >> 2) + 2);
      const Value strongP = -(filter & strong & ap);
      const Value strongQ = -(filter & strong & aq);
      const Value strongP0 = Select(strongP, (p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3, weakP0);
      const Value strongP1 = Select(strongP, (p2 + p1 + p0 + q0 + 2) >> 2, p1);
      const Value strongP2 = Select(strongP, (2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3, p2);
      const Value strongQ0 = Select(strongQ, (p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3, weakQ0);
      const Value strongQ1 = Select(strongQ, (p0 + q0 + q1 + q2 + 2) >> 2, q1);
      const Value strongQ2 = Select(strongQ, (2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3, q2);
      e.out[0][k] = static_cast<uint8_t>(Select(strongEdge, strongP2, p2));
      e.out[1][k] = static_cast<uint8_t>(Select(strongEdge, strongP1, normalP1));
      e.out[2][k] = static_cast<uint8_t>(Select(strongEdge, strongP0, Clamp255(p0 + delta)));
      e.out[3][k] = static_cast<uint8_t>(Select(strongEdge, strongQ0, Clamp255(q0 - delta)));
      e.out[4][k] = static_cast<uint8_t>(Select(strongEdge, strongQ1, normalQ1));
      e.out[5][k] = static_cast<uint8_t>(Select(strongEdge, strongQ2, q2));
    } else {
      const Value tc = (e.tc0[k] + 1) & -filter;
      const Value delta = Clamp(delta0, -tc, tc);
      e.out[0][k] = static_cast<uint8_t>(Select(strongEdge, weakP0, Clamp255(p0 + delta)));
      e.out[1][k] = static_cast<uint8_t>(Select(strongEdge, weakQ0, Clamp255(q0 - delta)));
    }
  }
}

template <typename Word>
Word ByteSwap(Word w) {
  if constexpr (sizeof(Word) == 8) return __builtin_bswap64(w);
  else return __builtin_bswap32(w);
}

// A word holding the bytes at `at` in memory order, the first in its lowest
// bits, and back.
template <typename Word>
Word LoadBytes(const uint8_t* at) {
  Word w;
  std::memcpy(&w, at, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = ByteSwap(w);
  return w;
}
template <typename Word>
void StoreBytes(uint8_t* at, Word w) {
  if constexpr (std::endian::native == std::endian::big) w = ByteSwap(w);
  std::memcpy(at, &w, sizeof w);
}

// Transposes the square matrix whose row i is word i and whose column j is
// byte j (lowest first): the off-diagonal blocks of `half` bytes swap
// places, then those within each block, down to single bytes.
template <typename Word, int half = sizeof(Word) / 2>
inline __attribute__((always_inline)) void TransposeBytes(Word (&w)[sizeof(Word)]) {
  constexpr int n = sizeof(Word);
  Word mask = 0;  // the low `half` bytes of every 2 * half
  for (int i = 0; i < n; i += 2 * half) mask |= ((Word{1} << (8 * half)) - 1) << (8 * i);
  for (int i = 0; i < n; i += 2 * half) {
    for (int j = i; j < i + half; ++j) {
      const Word t = ((w[j] >> (8 * half)) ^ w[j + half]) & mask;
      w[j] ^= t << (8 * half);
      w[j + half] ^= t;
    }
  }
  if constexpr (half > 1) TransposeBytes<Word, half / 2>(w);
}

template <bool kLuma>
void FilterEdge(const EdgeFilterArgs& a) {
  using Rows = EdgeRows<kLuma>;
  constexpr int kDepth = Rows::kDepth, kLength = kLuma ? 16 : 8, kPerSegment = kLength / 4;
  const int alpha = a.alpha, beta = a.beta;
  if (alpha == 0 || beta == 0) return;  // indexA or indexB below 16: nothing is filtered
  if (!(a.bS[0] | a.bS[1] | a.bS[2] | a.bS[3])) return;
  Rows e;
  if (kLength < Rows::kLength) e = Rows{};  // the padding filters nothing
  for (int k = 0; k < kLength; ++k) {
    e.bS[k] = a.bS[k / kPerSegment];
    e.tc0[k] = a.tc0[k / kPerSegment];
  }
  uint8_t* const q0 = a.q0;
  const ptrdiff_t across = a.across, along = a.along;
  if (along == 1) {  // a horizontal edge: rows are lines of the picture
    for (int r = 0; r < 2 * kDepth; ++r) std::memcpy(e.row[r], q0 + (r - kDepth) * across, kLength);
    FilterRows<kLuma>(e, static_cast<Value>(alpha), static_cast<Value>(beta));
    for (int r = 1; r < 2 * kDepth - 1; ++r) std::memcpy(q0 + (r - kDepth) * across, e.out[r - 1], kLength);
    return;
  }
  if (across == 1) {
    // A vertical edge: each line's samples are one word, and the lines turn
    // into rows by byte transposes, a square of `kDepth * 2` lines at a time.
    using Word = std::conditional_t<kLuma, uint64_t, uint32_t>;
    constexpr int kSquare = 2 * kDepth;
    for (int first = 0; first < kLength; first += kSquare) {
      Word w[kSquare];
      for (int k = 0; k < kSquare; ++k) w[k] = LoadBytes<Word>(q0 + (first + k) * along - kDepth);
      TransposeBytes(w);
      for (int r = 0; r < kSquare; ++r) StoreBytes(e.row[r] + first, w[r]);
    }
    FilterRows<kLuma>(e, static_cast<Value>(alpha), static_cast<Value>(beta));
    for (int first = 0; first < kLength; first += kSquare) {
      Word w[kSquare];  // the outermost rows are those read
      w[0] = LoadBytes<Word>(e.row[0] + first);
      w[kSquare - 1] = LoadBytes<Word>(e.row[kSquare - 1] + first);
      for (int r = 1; r < kSquare - 1; ++r) w[r] = LoadBytes<Word>(e.out[r - 1] + first);
      TransposeBytes(w);
      for (int k = 0; k < kSquare; ++k) StoreBytes(q0 + (first + k) * along - kDepth, w[k]);
    }
    return;
  }
  // Any other step pair: sample by sample.
  for (int k = 0; k < kLength; ++k)
    for (int r = 0; r < 2 * kDepth; ++r) e.row[r][k] = q0[k * along + (r - kDepth) * across];
  FilterRows<kLuma>(e, static_cast<Value>(alpha), static_cast<Value>(beta));
  for (int k = 0; k < kLength; ++k)
    for (int r = 1; r < 2 * kDepth - 1; ++r) q0[k * along + (r - kDepth) * across] = e.out[r - 1][k];
}

KernelSet MakePlain() {
  KernelSet k = {
    {I4Vertical, I4Horizontal, I4Dc, I4DiagonalDownLeft, I4DiagonalDownRight, I4VerticalRight, I4HorizontalDown,
     I4VerticalLeft, I4HorizontalUp},
    {I16Vertical, I16Horizontal, I16Dc, I16Plane},
    {ChromaDc, ChromaHorizontal, ChromaVertical, ChromaPlane},
    TransformAdd,
    DcAdd,
    FilterEdge<true>,
    FilterEdge<false>,
    InverseTransform,
    {},
    {},
    {},
    {},
    {},
    {},
    DeinterlaceRowPlain,
  };
  FillPlainInterKernels(k);
  return k;
}

}  // namespace

const KernelSet& PlainKernels() {
  static const KernelSet plain = MakePlain();
  return plain;
}

}  // namespace avc
