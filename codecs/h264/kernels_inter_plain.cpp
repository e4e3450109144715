// The plain inter-prediction kernels: luma quarter-sample interpolation,
// chroma eighth-sample interpolation (clause 8.4.2.2) and explicit
// weighting (clause 8.4.2.3.2), written for clarity rather than speed.
#include "codecs/h264/kernels_inter_plain.h"

namespace avc {

namespace {

inline int Clip255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

inline int Tap(int a, int b, int c, int d, int e, int f) { return a - 5 * b + 20 * c + 20 * d - 5 * e + f; }

// The samples around one integer position of the reference, named as in
// Figure 8-4: G the integer sample, b and h the half samples right of and
// below it, j the centre, s the half sample below b, m the one right of h.
struct Around {
  const uint8_t* g;
  ptrdiff_t stride;
  int At(int x, int y) const { return g[y * stride + x]; }
  int B1(int y) const { return Tap(At(-2, y), At(-1, y), At(0, y), At(1, y), At(2, y), At(3, y)); }
  int H1(int x) const { return Tap(At(x, -2), At(x, -1), At(x, 0), At(x, 1), At(x, 2), At(x, 3)); }
  int B(int y = 0) const { return Clip255((B1(y) + 16) >> 5); }
  int H(int x = 0) const { return Clip255((H1(x) + 16) >> 5); }
  int J() const { return Clip255((Tap(B1(-2), B1(-1), B1(0), B1(1), B1(2), B1(3)) + 512) >> 10); }
};

inline int Avg(int a, int b) { return (a + b + 1) >> 1; }

template <int kX, int kY>
int LumaSample(const Around& n) {
  const int pos = kX * 4 + kY;
  switch (pos) {
    case 0: return n.At(0, 0);
    case 4: return Avg(n.At(0, 0), n.B());        // a
    case 8: return n.B();                          // b
    case 12: return Avg(n.At(1, 0), n.B());       // c
    case 1: return Avg(n.At(0, 0), n.H());        // d
    case 2: return n.H();                          // h
    case 3: return Avg(n.At(0, 1), n.H());        // n
    case 5: return Avg(n.B(), n.H());              // e
    case 13: return Avg(n.B(), n.H(1));            // g
    case 7: return Avg(n.H(), n.B(1));             // p
    case 15: return Avg(n.H(1), n.B(1));           // r
    case 9: return Avg(n.B(), n.J());              // f
    case 6: return Avg(n.H(), n.J());              // i
    case 10: return n.J();                         // j
    case 14: return Avg(n.J(), n.H(1));            // k
    default: return Avg(n.J(), n.B(1));            // q (position 11)
  }
}

template <int kX, int kY>
void LumaMc(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int width, int height) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Around n{src + y * srcStride + x, srcStride};
      dst[y * dstStride + x] = static_cast<uint8_t>(LumaSample<kX, kY>(n));
    }
  }
}

void ChromaMc(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int width, int height,
              int xF, int yF) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* r = src + y * srcStride;
    for (int x = 0; x < width; ++x) {
      const int v = (8 - xF) * (8 - yF) * r[x] + xF * (8 - yF) * r[x + 1] + (8 - xF) * yF * r[x + srcStride] +
                    xF * yF * r[x + srcStride + 1];
      dst[y * dstStride + x] = static_cast<uint8_t>((v + 32) >> 6);
    }
  }
}

void Weight(uint8_t* block, ptrdiff_t stride, int width, int height, int weight, int offset, int log2Denom) {
  const int round = log2Denom > 0 ? 1 << (log2Denom - 1) : 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t& s = block[y * stride + x];
      s = static_cast<uint8_t>(Clip255(((s * weight + round) >> log2Denom) + offset));
    }
  }
}

}  // namespace

void FillPlainInterKernels(KernelSet& k) {
  k.lumaMc[0] = LumaMc<0, 0>;
  k.lumaMc[1] = LumaMc<0, 1>;
  k.lumaMc[2] = LumaMc<0, 2>;
  k.lumaMc[3] = LumaMc<0, 3>;
  k.lumaMc[4] = LumaMc<1, 0>;
  k.lumaMc[5] = LumaMc<1, 1>;
  k.lumaMc[6] = LumaMc<1, 2>;
  k.lumaMc[7] = LumaMc<1, 3>;
  k.lumaMc[8] = LumaMc<2, 0>;
  k.lumaMc[9] = LumaMc<2, 1>;
  k.lumaMc[10] = LumaMc<2, 2>;
  k.lumaMc[11] = LumaMc<2, 3>;
  k.lumaMc[12] = LumaMc<3, 0>;
  k.lumaMc[13] = LumaMc<3, 1>;
  k.lumaMc[14] = LumaMc<3, 2>;
  k.lumaMc[15] = LumaMc<3, 3>;
  k.chromaMc = ChromaMc;
  k.weight = Weight;
}

}  // namespace avc
