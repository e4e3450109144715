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

struct Group {
  const char* name;
  void (*run)(const KernelSet&, Workspace&);
};
constexpr Group kGroups[] = {
    {"MotionCompensation", MotionCompensation},
    {"Combination", Combination},
    {"Transforms", Transforms},
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
