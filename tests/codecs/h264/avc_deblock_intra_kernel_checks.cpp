// Edge filter and intra prediction slots: each SIMD kernel against its
// plain kernel on the same samples, byte for byte.
#include "tests/codecs/h264/avc_kernel_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace avc_kernel_checks {

namespace {

using avc::EdgeFilterArgs;
using avc::EdgeFilterKernel;
using avc::IntraEdge;
using avc::KernelSet;

// Samples flat, nearly flat (most edges filtered), noisy or pinned at 0
// and 255; bases near 0 and 255 often, where the filters clip.
int Base(std::mt19937& random) {
  const int base = int(random() % 256);
  return random() % 4 ? base : base % 2 ? 255 - base % 8 : base % 8;
}
uint8_t Sample(std::mt19937& random, int texture, int base) {
  switch (texture) {
    case 0: return uint8_t(base);
    case 1: return uint8_t(std::clamp(base + int(random() % 9) - 4, 0, 255));
    case 2: return random() % 2 ? 0 : 255;
    default: return uint8_t(random());
  }
}

// The offset of the first byte that differs, or -1.
ptrdiff_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin());
  return x == a.end() ? -1 : x - a.begin();
}

// How the deblocking driver steps over an edge: horizontal and vertical
// edges of frames and fields, and a step pair no driver uses (gathered).
struct Orientation {
  const char* name;
  int acrossRows, acrossColumns, alongRows, alongColumns;
};
constexpr Orientation kOrientations[] = {
    {"horizontal", 1, 0, 0, 1},     {"vertical", 0, 1, 1, 0}, {"horizontal field", 2, 0, 0, 1},
    {"vertical field", 0, 1, 2, 0}, {"gathered", 1, 0, 0, 2},
};

// The picture area spans exactly the samples the kernel may read, from p3
// (p1 for chroma) of the first sample to q3 (q1) of the last, so that a
// sanitizer build catches a read past them.  Textures 0-3 fill both sides
// alike; texture 4 is a block edge: each side nearly flat, the q side
// offset by a step the filter may or may not smooth.
void CompareEdge(EdgeFilterKernel plain, EdgeFilterKernel candidate, int length, std::mt19937& random,
                 const char* kernel) {
  const int reach = length == 16 ? 4 : 2;
  int iteration = 0;
  for (const Orientation& o : kOrientations) {
    for (int n = 0; n < 40000; ++n, ++iteration) {
      const ptrdiff_t stride = 2 * length + 8 + ptrdiff_t(random() % 24);
      EdgeFilterArgs args{};
      args.across = o.acrossRows * stride + o.acrossColumns;
      args.along = o.alongRows * stride + o.alongColumns;
      const ptrdiff_t origin = reach * args.across;
      std::vector<uint8_t> a(size_t(origin + (reach - 1) * args.across + (length - 1) * args.along + 1));
      const int texture = n % 5, base = Base(random);
      for (auto& p : a) p = Sample(random, texture == 4 ? 1 : texture, base);
      if (texture == 4) {
        const int qBase = std::clamp(base + int(random() % 81) - 40, 0, 255);
        for (int k = 0; k < length; ++k) {
          for (int j = 0; j < reach; ++j) {
            a[size_t(origin + j * args.across + k * args.along)] = Sample(random, 1, qBase);
          }
        }
      }
      std::vector<uint8_t> b = a;
      // Every alpha of 0..256 in turn, beta and tC0 mostly in the standard's
      // ranges, and every mix of strengths 0..4 over the four segments.
      args.alpha = iteration % 257;
      args.beta = random() % 8 ? int(random() % 19) : int(random() % 260);
      int mix = iteration;
      for (int i = 0; i < 4; ++i, mix /= 5) {
        args.bS[i] = uint8_t(mix % 5);
        args.tc0[i] = int8_t(random() % 8 ? random() % 26 : random() % 128);
      }
      args.q0 = a.data() + origin;
      plain(args);
      args.q0 = b.data() + origin;
      candidate(args);
      ASSERT_EQ(FirstDifference(a, b), -1)
          << kernel << " " << o.name << " alpha " << args.alpha << " beta " << args.beta << " bS " << int(args.bS[0])
          << int(args.bS[1]) << int(args.bS[2]) << int(args.bS[3]) << " tc0 " << int(args.tc0[0]) << ","
          << int(args.tc0[1]) << "," << int(args.tc0[2]) << "," << int(args.tc0[3]) << " texture " << texture;
    }
  }
}

IntraEdge RandomEdge(std::mt19937& random, int texture) {
  IntraEdge e;
  const int base = Base(random);
  e.corner = Sample(random, texture, base);
  for (auto& p : e.top) p = Sample(random, texture, base);
  for (auto& p : e.left) p = Sample(random, texture, base);
  e.hasTop = random() % 4 != 0;
  e.hasLeft = random() % 4 != 0;
  e.hasCorner = random() % 4 != 0;
  return e;
}

template <size_t kModes>
void CompareIntraTable(const avc::Intra4x4Kernel (&plain)[kModes], const avc::Intra4x4Kernel (&candidate)[kModes],
                       int size, std::mt19937& random, const char* table) {
  for (int n = 0; n < 20000; ++n) {
    const IntraEdge e = RandomEdge(random, n % 4);
    const ptrdiff_t stride = size + ptrdiff_t(random() % 40);
    std::vector<uint8_t> a(size_t(stride) * size_t(size - 1) + size_t(size)), b;
    for (auto& p : a) p = uint8_t(random());
    b = a;
    const size_t mode = size_t(n) % kModes;
    plain[mode](a.data(), stride, e);
    candidate[mode](b.data(), stride, e);
    ASSERT_EQ(FirstDifference(a, b), -1)
        << table << " mode " << mode << " top " << e.hasTop << " left " << e.hasLeft << " corner " << e.hasCorner;
  }
}

}  // namespace

void CompareEdgeFilters(const KernelSet& set, std::mt19937& random) {
  const KernelSet& plain = avc::PlainKernels();
  CompareEdge(plain.lumaEdge, set.lumaEdge, 16, random, "luma edge");
  if (testing::Test::HasFatalFailure()) return;
  CompareEdge(plain.chromaEdge, set.chromaEdge, 8, random, "chroma edge");
}

void CompareIntraPredictors(const KernelSet& set, std::mt19937& random) {
  const KernelSet& plain = avc::PlainKernels();
  CompareIntraTable(plain.intra4x4, set.intra4x4, 4, random, "intra 4x4");
  if (testing::Test::HasFatalFailure()) return;
  CompareIntraTable(plain.intra16x16, set.intra16x16, 16, random, "intra 16x16");
  if (testing::Test::HasFatalFailure()) return;
  CompareIntraTable(plain.intraChroma, set.intraChroma, 8, random, "intra chroma");
}

}  // namespace avc_kernel_checks
