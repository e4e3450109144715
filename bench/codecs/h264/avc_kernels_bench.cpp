// Each SIMD kernel set of the own H.264 library against the plain set that
// defines it, per group of slots, on the same data in the same run
// ("ratio" = the SIMD set's time / the plain set's).  Benchmarks are named
// <set>/<group>; a set the processor cannot run is skipped.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/simd_kernel_sets.h"

namespace {

using avc::KernelSet;

// Samples close to their neighbours, so that most edges pass the filters'
// sample tests.
std::vector<uint8_t> SmoothArea(size_t size) {
  std::mt19937 random(9);
  std::vector<uint8_t> area(size);
  for (uint8_t& s : area) s = static_cast<uint8_t>(100 + random() % 6);
  return area;
}

// A reference picture area with room for every block and its filter
// margins, and the macroblock buffers the kernels write.
struct Workspace {
  static constexpr ptrdiff_t kStride = 256;
  Workspace() : reference(kStride * 96) {
    std::mt19937 random(7);
    for (uint8_t& s : reference) s = static_cast<uint8_t>(random());
    for (int16_t& r : reinterpret_cast<int16_t(&)[sizeof residual / 2]>(residual))
      r = static_cast<int16_t>(static_cast<int>(random() % 64) - 32);
    for (int32_t& c : coefficients) c = random() % 3 ? 0 : static_cast<int32_t>(random() % 512) - 256;
  }
  std::vector<uint8_t> reference;
  std::vector<uint8_t> picture = SmoothArea(kStride * 96);
  std::vector<uint8_t> chroma = SmoothArea(kStride * 48);
  avc::MbSamples samples;
  avc::MbResidual residual;
  int32_t coefficients[16];
};

// Every size and quarter-sample position, every chroma class.
void MotionCompensation(const KernelSet& k, Workspace& w) {
  avc::MotionJob job{};
  job.srcStep = Workspace::kStride;
  job.chromaSrcStep = Workspace::kStride;
  for (int n = 0; n < 64; ++n) {
    const uint8_t* at = w.reference.data() + (8 + n % 8) * Workspace::kStride + 8 + n * 3;
    job.src = at;
    job.cbSrc = at + 40 * Workspace::kStride;
    job.crSrc = at + 60 * Workspace::kStride;
    for (int position = 0; position < 16; ++position) {
      job.dst = w.samples.luma[0];
      k.luma8x16[position](job);
      k.luma4x8[position](job);
      job.dst = w.samples.luma[3] + 36;
      k.luma4x4[position](job);
    }
    for (int chromaClass = 0; chromaClass < 4; ++chromaClass) {
      job.xF = chromaClass & 1 ? 1 + n % 7 : 0;
      job.yF = chromaClass & 2 ? 7 - n % 7 : 0;
      job.cbDst = w.samples.cb;
      job.crDst = w.samples.cr;
      k.chroma8x4[chromaClass](job);
      k.chroma4x2[chromaClass](job);
    }
  }
}

void Combination(const KernelSet& k, Workspace& w) {
  for (int n = 0; n < 2048; ++n) {
    const int q = n % 4, chroma = (q >> 1) * 32 + (q & 1) * 4;
    avc::CombinationJob job{w.samples.luma[q], w.samples.cb + chroma, w.samples.cr + chroma, w.residual.luma[q],
                            w.residual.cb + chroma, w.residual.cr + chroma, true, true, 5, 45, -3, 4, {19, 13},
                            {2, -1}};
    k.combination[n % 8 < 4 ? avc::kCombineDefaultL0 : avc::kCombineExplicitL0](job);
  }
}

void Transforms(const KernelSet& k, Workspace& w) {
  for (int n = 0; n < 2048; ++n) {
    const int q = n % 4;
    k.inverseTransform(w.residual.luma[q] + (n & 4), avc::kMbRowStep, w.coefficients);
    k.transformAdd(w.samples.luma[q] + (n & 4), avc::kMbRowStep, w.coefficients);
    k.dcAdd(w.samples.cb + (n & 4), avc::kMbRowStep, w.coefficients[0] * 4);
  }
}

// The edges of the area's macroblocks as the deblocking driver walks them:
// the four vertical luma edges and two chroma edges of each plane, then the
// horizontal ones; every fifth macroblock intra, with strong outer edges.
void EdgeFilters(const KernelSet& k, Workspace& w) {
  constexpr ptrdiff_t kStride = Workspace::kStride, kChromaPlane = 24 * kStride;
  for (int mb = 0; mb < 5 * 15; ++mb) {
    const int mbx = 1 + mb % 15, mby = 1 + mb / 15;
    const bool intra = mb % 5 == 0;
    for (int dir = 0; dir < 2; ++dir) {
      const bool vertical = dir == 0;
      for (int edge = 0; edge < 4; ++edge) {
        avc::EdgeFilterArgs a{};
        a.alpha = 40;
        a.beta = 10;
        for (int i = 0; i < 4; ++i) {
          a.bS[i] = static_cast<uint8_t>(intra ? (edge == 0 ? 4 : 3) : (edge + i) % 3);
          a.tc0[i] = static_cast<int8_t>(a.bS[i] == 4 ? 0 : a.bS[i]);
        }
        uint8_t* luma = w.picture.data() + mby * 16 * kStride + mbx * 16;
        a.q0 = vertical ? luma + edge * 4 : luma + edge * 4 * kStride;
        a.across = vertical ? 1 : kStride;
        a.along = vertical ? kStride : 1;
        k.lumaEdge(a);
        if (edge & 1) continue;
        for (ptrdiff_t plane : {ptrdiff_t{0}, kChromaPlane}) {
          uint8_t* c = w.chroma.data() + plane + mby * 8 * kStride + mbx * 8;
          a.q0 = vertical ? c + edge * 2 : c + edge * 2 * kStride;
          a.across = vertical ? 1 : kStride;
          a.along = vertical ? kStride : 1;
          k.chromaEdge(a);
        }
      }
    }
  }
}

// Every mode of the three intra tables in turn.
void IntraPrediction(const KernelSet& k, Workspace& w) {
  avc::IntraEdge e;
  e.corner = w.reference[0];
  for (int i = 0; i < 16; ++i) {
    e.top[i] = w.reference[1 + i];
    e.left[i] = w.reference[17 + i];
  }
  e.hasTop = e.hasLeft = e.hasCorner = true;
  for (int mb = 0; mb < 96; ++mb) {
    uint8_t* at = w.picture.data() + (mb % 15) * 16;
    for (int block = 0; block < 16; ++block) {
      k.intra4x4[(mb + block) % 9](at + (block >> 2) * 4 * Workspace::kStride + (block & 3) * 4, Workspace::kStride, e);
    }
    k.intra16x16[mb % 4](at, Workspace::kStride, e);
    k.intraChroma[mb % 4](w.chroma.data() + (mb % 15) * 8, Workspace::kStride, e);
  }
}

struct Group {
  const char* name;
  void (*run)(const KernelSet&, Workspace&);
};
constexpr Group kGroups[] = {
    {"MotionCompensation", MotionCompensation},
    {"Combination", Combination},
    {"Transforms", Transforms},
    {"EdgeFilters", EdgeFilters},
    {"IntraPrediction", IntraPrediction},
};

void Compare(benchmark::State& state, const avc::SimdKernelSet& set, const Group& group) {
  if (DetectCpuLevel() < set.minimumCpuLevel) {
    state.SkipWithError((std::string("the processor cannot run the ") + set.name + " set").c_str());
    return;
  }
  Workspace w;
  bench_support::MeasureRatio(
      state,
      [&] {
        for (int round = 0; round < 20; ++round) group.run(*set.kernels, w);
        benchmark::DoNotOptimize(&w.samples);
      },
      [&] {
        for (int round = 0; round < 20; ++round) group.run(avc::PlainKernels(), w);
        benchmark::DoNotOptimize(&w.samples);
      });
}

const bool kRegistered = [] {
  for (const avc::SimdKernelSet& set : avc::SimdKernelSets()) {
    for (const Group& group : kGroups) {
      benchmark::RegisterBenchmark((std::string(set.name) + "/" + group.name).c_str(),
                                   [&set, &group](benchmark::State& state) { Compare(state, set, group); })
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(50);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
