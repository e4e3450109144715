// The decoder's SSE2 kernels against the plain ones that define them, on
// the same random data in the same run.
#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/mpeg4/mp4_kernels.h"

namespace {

const Mp4Kernels& Sse2() {
  const auto& sets = Mp4KernelSets().All();
  if (sets.size() < 2) throw std::runtime_error("no SSE2 kernel set in this build");
  return *sets[1].table;
}

void BM_Mp4IdctSse2VersusPlain(benchmark::State& state) {
  std::mt19937 random(1);
  std::vector<int16_t> blocks(64 * 4096), work(blocks.size());
  for (auto& c : blocks) c = random() % 5 == 0 ? int16_t(int(random() % 1024) - 512) : 0;
  auto run = [&](const Mp4Kernels& k) {
    work = blocks;
    for (size_t b = 0; b < work.size(); b += 64) k.idct(work.data() + b);
    benchmark::DoNotOptimize(work.data());
  };
  bench_support::MeasureRatio(state, [&] { run(Sse2()); }, [&] { run(Mp4PlainKernels()); });
}
BENCHMARK(BM_Mp4IdctSse2VersusPlain)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Mp4PredictionSse2VersusPlain(benchmark::State& state) {
  constexpr ptrdiff_t kStride = 1024;
  std::mt19937 random(2);
  std::vector<uint8_t> src(kStride * 64), dst(kStride * 64);
  for (auto& p : src) p = uint8_t(random());
  auto run = [&](const Mp4Kernels& k) {
    for (int n = 0; n < 2000; ++n) {
      const int x = (n * 37) % 900, frac = n & 15, r = (n >> 4) & 1;
      k.predictHalf(dst.data() + x, kStride, src.data() + x, kStride, 16, 16, frac & 1, (frac >> 1) & 1, r);
      k.predictQuarter(dst.data() + x, kStride, src.data() + x, kStride, 16, 16, frac & 3, frac >> 2, r);
    }
    benchmark::DoNotOptimize(dst.data());
  };
  bench_support::MeasureRatio(state, [&] { run(Sse2()); }, [&] { run(Mp4PlainKernels()); });
}
BENCHMARK(BM_Mp4PredictionSse2VersusPlain)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
