// YuvToRgb32 on a 1080p picture against libswscale's yuv420p to bgr0
// conversion of the same planes into the same layout.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/mpeg4/yuv_converters.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

void BM_YuvToRgb32VersusSwscale(benchmark::State& state) {
  std::mt19937 random(5);
  std::vector<uint8_t> y(kWidth * kHeight), u(kWidth * kHeight / 4), v(kWidth * kHeight / 4);
  for (auto* plane : {&y, &u, &v})
    for (auto& b : *plane) b = static_cast<uint8_t>(random());
  std::vector<uint8_t> ours(kWidth * kHeight * 4), theirs(kWidth * kHeight * 4);

  SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGR0,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) throw std::runtime_error("swscale refused yuv420p to bgr0");
  const uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
  const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
  uint8_t* const out[1] = {theirs.data()};
  const int outStride[1] = {kWidth * 4};

  bench_support::MeasureRatio(
      state,
      [&] {
        YuvToRgb32(y.data(), kWidth, u.data(), v.data(), kWidth / 2, ours.data(), kWidth, kHeight, kWidth);
        benchmark::DoNotOptimize(ours.data());
      },
      [&] {
        sws_scale(sws, planes, strides, 0, kHeight, out, outStride);
        benchmark::DoNotOptimize(theirs.data());
      });
  sws_freeContext(sws);
}
BENCHMARK(BM_YuvToRgb32VersusSwscale)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
