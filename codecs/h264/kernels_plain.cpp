// The plain kernel set: clauses 8.3.1.2, 8.3.3, 8.3.4, 8.5.12 and 8.7.2 for
// 8-bit samples, written for clarity rather than speed.
#include <algorithm>
#include <cstdlib>

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

template <bool kLuma>
void FilterEdge(const EdgeFilterArgs& a) {
  constexpr int kLength = kLuma ? 16 : 8;
  constexpr int kPerSegment = kLength / 4;
  // Locals: the sample stores below may alias anything reached through `a`.
  const int alpha = a.alpha, beta = a.beta;
  if (alpha == 0 || beta == 0) return;  // indexA or indexB below 16: nothing is filtered
  uint8_t* const base = a.q0;
  const ptrdiff_t s = a.across, along = a.along;
  for (int segment = 0; segment < 4; ++segment) {
    const int bS = a.bS[segment];
    if (bS == 0) continue;
    const int tc0 = a.tc0[segment];
    const int first = segment * kPerSegment;
    if (bS < 4) {
      // Without branches per sample: a sample pair the filter leaves alone
      // gets a clipping range of 0 and is written back unchanged.
      for (int k = first; k < first + kPerSegment; ++k) {
        uint8_t* q = base + k * along;
        const int p0 = q[-s], p1 = q[-2 * s], q0 = q[0], q1 = q[s];
        const int filter = (std::abs(p0 - q0) < alpha) & (std::abs(p1 - p0) < beta) & (std::abs(q1 - q0) < beta);
        const int delta0 = (((q0 - p0) * 4) + (p1 - q1) + 4) >> 3;
        if (kLuma) {
          const int p2 = q[-3 * s], q2 = q[2 * s];
          const int ap = std::abs(p2 - p0) < beta, aq = std::abs(q2 - q0) < beta;
          const int tc = (tc0 + ap + aq) & -filter;
          const int delta = std::clamp(delta0, -tc, tc);
          const int tcP = tc0 & -(filter & ap), tcQ = tc0 & -(filter & aq);
          q[-s] = Clip255(p0 + delta);
          q[0] = Clip255(q0 - delta);
          q[-2 * s] = static_cast<uint8_t>(p1 + std::clamp((p2 + ((p0 + q0 + 1) >> 1) - (p1 << 1)) >> 1, -tcP, tcP));
          q[s] = static_cast<uint8_t>(q1 + std::clamp((q2 + ((p0 + q0 + 1) >> 1) - (q1 << 1)) >> 1, -tcQ, tcQ));
        } else {
          const int tc = (tc0 + 1) & -filter;
          const int delta = std::clamp(delta0, -tc, tc);
          q[-s] = Clip255(p0 + delta);
          q[0] = Clip255(q0 - delta);
        }
      }
      continue;
    }
    // bS 4, also without branches per sample: each output is chosen from
    // the strong filter, the weak one and the sample itself.
    for (int k = first; k < first + kPerSegment; ++k) {
      uint8_t* q = base + k * along;
      const int p0 = q[-s], p1 = q[-2 * s], q0 = q[0], q1 = q[s];
      const bool filter = (std::abs(p0 - q0) < alpha) & (std::abs(p1 - p0) < beta) & (std::abs(q1 - q0) < beta);
      if (kLuma) {
        const int p2 = q[-3 * s], q2 = q[2 * s], p3 = q[-4 * s], q3 = q[3 * s];
        const bool strong = std::abs(p0 - q0) < ((alpha >> 2) + 2);
        const bool strongP = filter & strong & (std::abs(p2 - p0) < beta);
        const bool strongQ = filter & strong & (std::abs(q2 - q0) < beta);
        const int weakP0 = filter ? (2 * p1 + p0 + q1 + 2) >> 2 : p0;
        const int weakQ0 = filter ? (2 * q1 + q0 + p1 + 2) >> 2 : q0;
        q[-s] = static_cast<uint8_t>(strongP ? (p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3 : weakP0);
        q[-2 * s] = static_cast<uint8_t>(strongP ? (p2 + p1 + p0 + q0 + 2) >> 2 : p1);
        q[-3 * s] = static_cast<uint8_t>(strongP ? (2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3 : p2);
        q[0] = static_cast<uint8_t>(strongQ ? (p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3 : weakQ0);
        q[s] = static_cast<uint8_t>(strongQ ? (p0 + q0 + q1 + q2 + 2) >> 2 : q1);
        q[2 * s] = static_cast<uint8_t>(strongQ ? (2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3 : q2);
      } else {
        q[-s] = static_cast<uint8_t>(filter ? (2 * p1 + p0 + q1 + 2) >> 2 : p0);
        q[0] = static_cast<uint8_t>(filter ? (2 * q1 + q0 + p1 + 2) >> 2 : q0);
      }
    }
  }
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
