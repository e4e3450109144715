// Motion compensation, combination and transform slots: each SIMD kernel
// against its plain kernel on random and extreme inputs, for every table
// entry and every place in the macroblock the decoder calls it for.  Source
// areas are allocated exactly as large as the slot's contract makes
// readable, so a sanitizer build catches a kernel reading past them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/codecs/h264/avc_kernel_checks.h"

namespace avc_kernel_checks {

namespace {

using avc::KernelSet;
using avc::MbResidual;
using avc::MbSamples;
using avc::MotionJob;

// Samples of four kinds: random, all 0, all 255 and a random mix of 0 and
// 255, which drives the six-tap sums to their extremes.
void FillSamples(std::vector<uint8_t>& samples, std::mt19937& random, int kind) {
  for (uint8_t& s : samples) {
    switch (kind) {
      case 0: s = static_cast<uint8_t>(random()); break;
      case 1: s = 0; break;
      case 2: s = 255; break;
      default: s = random() % 2 ? 255 : 0; break;
    }
  }
}

template <class T>
void FillRandom(T& block, std::mt19937& random) {
  auto* bytes = reinterpret_cast<uint8_t*>(&block);
  for (size_t i = 0; i < sizeof block; ++i) bytes[i] = static_cast<uint8_t>(random());
}

// A reference area of `width` x `height` samples, `stride` apart, the
// readable area's first sample at its start and its last at its end.
struct Area {
  Area(int width, int height, std::mt19937& random, int kind, ptrdiff_t step = 0)
      : stride(step ? step : width + static_cast<int>(random() % 3) * 8) {
    samples.resize(static_cast<size_t>(stride) * static_cast<size_t>(height - 1) + static_cast<size_t>(width));
    FillSamples(samples, random, kind);
  }
  std::vector<uint8_t> samples;
  ptrdiff_t stride;
};

struct LumaTable {
  const char* name;
  avc::LumaMcKernel const (KernelSet::*table)[16];
  int width;
  int height;
  std::vector<int> destinations;  // offsets into MbSamples::luma
};

void CompareLuma(const KernelSet& set, std::mt19937& random) {
  const avc::KernelSet& plain = avc::PlainKernels();
  const LumaTable tables[] = {
      {"luma4x4", &KernelSet::luma4x4, 4, 4, {0, 4, 32, 36, 64, 100, 128, 164, 192, 228}},
      {"luma4x8", &KernelSet::luma4x8, 4, 8, {0, 4, 64, 68, 128, 132, 192, 196}},
      {"luma8x16", &KernelSet::luma8x16, 8, 16, {0, 64}},
  };
  for (const LumaTable& t : tables) {
    for (int position = 0; position < 16; ++position) {
      const bool fracX = position / 4 != 0, fracY = position % 4 != 0;
      for (int n = 0; n < 400; ++n) {
        Area area(t.width + (fracX ? 5 : 0), t.height + (fracY ? 5 : 0), random, n % 4);
        MbSamples a, b;
        FillRandom(a, random);
        b = a;
        const int destination = t.destinations[static_cast<size_t>(n) % t.destinations.size()];
        MotionJob job{};
        job.src = area.samples.data() + (fracY ? 2 * area.stride : 0) + (fracX ? 2 : 0);
        job.srcStep = area.stride;
        job.dst = &a.luma[0][0] + destination;
        (plain.*t.table)[position](job);
        job.dst = &b.luma[0][0] + destination;
        (set.*t.table)[position](job);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0)
            << t.name << " position " << position << " destination " << destination << " trial " << n;
      }
    }
  }
}

struct ChromaTable {
  const char* name;
  avc::ChromaMcKernel const (KernelSet::*table)[4];
  int width;
  int height;
  std::vector<int> destinations;  // offsets into MbSamples::cb and ::cr
};

void CompareChroma(const KernelSet& set, std::mt19937& random) {
  const avc::KernelSet& plain = avc::PlainKernels();
  const ChromaTable tables[] = {
      {"chroma4x2", &KernelSet::chroma4x2, 4, 2, {0, 4, 16, 20, 32, 36, 48, 52}},
      {"chroma8x4", &KernelSet::chroma8x4, 8, 4, {0, 32}},
  };
  for (const ChromaTable& t : tables) {
    for (int chromaClass = 0; chromaClass < 4; ++chromaClass) {
      for (int n = 0; n < 1000; ++n) {
        const int xF = chromaClass & 1 ? 1 + static_cast<int>(random() % 7) : 0;
        const int yF = chromaClass & 2 ? 1 + static_cast<int>(random() % 7) : 0;
        Area cb(t.width + (xF ? 1 : 0), t.height + (yF ? 1 : 0), random, n % 4);
        Area cr(t.width + (xF ? 1 : 0), t.height + (yF ? 1 : 0), random, (n + 1) % 4, cb.stride);
        MbSamples a, b;
        FillRandom(a, random);
        b = a;
        const int destination = t.destinations[static_cast<size_t>(n) % t.destinations.size()];
        MotionJob job{};
        job.cbSrc = cb.samples.data();
        job.crSrc = cr.samples.data();
        job.chromaSrcStep = cb.stride;
        job.xF = xF;
        job.yF = yF;
        for (MbSamples* s : {&a, &b}) {
          job.cbDst = s->cb + destination;
          job.crDst = s->cr + destination;
          ((s == &a ? plain : set).*t.table)[chromaClass](job);
        }
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << t.name << " class " << chromaClass << " xF " << xF << " yF "
                                                   << yF << " destination " << destination << " trial " << n;
      }
    }
  }
}

// Residuals: small, large, and at the ends of the 16-bit range.
int16_t Residual(std::mt19937& random, int kind) {
  switch (kind) {
    case 0: return static_cast<int16_t>(static_cast<int>(random() % 64) - 32);
    case 1: return static_cast<int16_t>(static_cast<int>(random() % 1024) - 512);
    case 2: return random() % 2 ? int16_t{32767} : int16_t{-32768};
    default: return static_cast<int16_t>(random());
  }
}

}  // namespace

void CompareMotionCompensation(const KernelSet& set, std::mt19937& random) {
  CompareLuma(set, random);
  if (testing::Test::HasFatalFailure()) return;
  CompareChroma(set, random);
}

void CompareCombination(const KernelSet& set, std::mt19937& random) {
  const avc::KernelSet& plain = avc::PlainKernels();
  // The weighting ranges the slice header admits, ends first.
  const int weights[] = {-128, 128, 127, 0, 1, -1, 64};
  const int offsets[] = {-128, 127, 0, 1, -1};
  for (int entry : {avc::kCombineDefaultL0, avc::kCombineExplicitL0}) {
    for (int n = 0; n < 20000; ++n) {
      MbSamples a, b;
      std::vector<uint8_t> samples(sizeof a);
      FillSamples(samples, random, n % 4);
      std::memcpy(&a, samples.data(), sizeof a);
      b = a;
      MbResidual residual;
      for (int16_t& r : reinterpret_cast<int16_t(&)[sizeof residual / 2]>(residual)) r = Residual(random, n / 4 % 4);
      const int quadrant = n % 4;
      const int chromaAt = (quadrant >> 1) * 32 + (quadrant & 1) * 4;
      avc::CombinationJob job{};
      job.lumaResidual = residual.luma[quadrant];
      job.cbResidual = residual.cb + chromaAt;
      job.crResidual = residual.cr + chromaAt;
      job.lumaCoded = random() % 2;
      job.chromaCoded = random() % 2;
      const bool extreme = n % 3 == 0;
      auto weight = [&] { return extreme ? weights[random() % 7] : static_cast<int>(random() % 257) - 128; };
      auto offset = [&] { return extreme ? offsets[random() % 5] : static_cast<int>(random() % 256) - 128; };
      job.lumaLog2Denom = static_cast<int>(random() % 8);
      job.chromaLog2Denom = static_cast<int>(random() % 8);
      job.lumaWeight = weight();
      job.lumaOffset = offset();
      for (int c = 0; c < 2; ++c) {
        job.chromaWeight[c] = weight();
        job.chromaOffset[c] = offset();
      }
      for (MbSamples* s : {&a, &b}) {
        job.luma = s->luma[quadrant];
        job.cb = s->cb + chromaAt;
        job.cr = s->cr + chromaAt;
        (s == &a ? plain : set).combination[entry](job);
      }
      ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0)
          << "combination " << entry << " quadrant " << quadrant << " weights " << job.lumaWeight << "/"
          << job.lumaOffset << "/" << job.lumaLog2Denom << " trial " << n;
    }
  }
}

void CompareTransforms(const KernelSet& set, std::mt19937& random) {
  const avc::KernelSet& plain = avc::PlainKernels();
  // Coefficients up to 2^27, where the plain kernel's 32-bit sums still hold.
  auto coefficient = [&](int kind) -> int32_t {
    switch (kind) {
      case 0: return random() % 4 ? 0 : static_cast<int32_t>(random() % 512) - 256;
      case 1: return static_cast<int32_t>(random() % 65536) - 32768;
      case 2: return random() % 2 ? (1 << 27) - 1 : -(1 << 27);
      default: return static_cast<int32_t>(random() % (1u << 28)) - (1 << 27);
    }
  };
  for (int n = 0; n < 100000; ++n) {
    int32_t c[16];
    for (int32_t& v : c) v = coefficient(n % 4);
    std::vector<uint8_t> picture(8 * 24);
    FillSamples(picture, random, n / 4 % 4);
    const ptrdiff_t stride = n % 2 ? 24 : 8;
    std::vector<uint8_t> a = picture, b = picture;
    plain.transformAdd(a.data() + 2, stride, c);
    set.transformAdd(b.data() + 2, stride, c);
    ASSERT_EQ(a, b) << "transformAdd trial " << n;

    const int32_t dc = c[0] * (n % 8 == 7 ? 8 : 1);
    plain.dcAdd(a.data() + 3, stride, dc);
    set.dcAdd(b.data() + 3, stride, dc);
    ASSERT_EQ(a, b) << "dcAdd " << dc << " trial " << n;

    MbResidual ra, rb;
    FillRandom(ra, random);
    rb = ra;
    const int at = (n % 4 >> 1) * 32 + (n % 2) * 4;
    plain.inverseTransform(ra.cb + at, avc::kMbRowStep, c);
    set.inverseTransform(rb.cb + at, avc::kMbRowStep, c);
    ASSERT_EQ(std::memcmp(&ra, &rb, sizeof ra), 0) << "inverseTransform trial " << n;
  }
}

}  // namespace avc_kernel_checks
