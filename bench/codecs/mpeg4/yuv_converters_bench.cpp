// The converters on a 1080p picture:
// - YuvToRgb32 (the kernel set chosen for this processor) against
//   libswscale's yuv420p to bgr0 conversion of the same planes into the same
//   layout;
// - every kernel set the processor runs against the plain set, for each
//   converter and for the renderer's 32-bit row copy.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/mpeg4/pixel_kernels.h"
#include "codecs/mpeg4/yuv_converters.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Picture {
  std::vector<uint8_t> y, u, v;
  Picture() : y(kWidth * kHeight), u(kWidth * kHeight / 4), v(kWidth * kHeight / 4) {
    std::mt19937 random(5);
    for (auto* plane : {&y, &u, &v})
      for (auto& b : *plane) b = static_cast<uint8_t>(random());
  }
};

void BM_YuvToRgb32VersusSwscale(benchmark::State& state) {
  const Picture picture;
  std::vector<uint8_t> ours(kWidth * kHeight * 4), theirs(kWidth * kHeight * 4);

  SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGR0,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) throw std::runtime_error("swscale refused yuv420p to bgr0");
  const uint8_t* const planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
  const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
  uint8_t* const out[1] = {theirs.data()};
  const int outStride[1] = {kWidth * 4};

  bench_support::MeasureRatio(
      state,
      [&] {
        YuvToRgb32(picture.y.data(), kWidth, picture.u.data(), picture.v.data(), kWidth / 2, ours.data(), kWidth,
                   kHeight, kWidth);
        benchmark::DoNotOptimize(ours.data());
      },
      [&] {
        sws_scale(sws, planes, strides, 0, kHeight, out, outStride);
        benchmark::DoNotOptimize(theirs.data());
      });
  state.SetLabel(pixel_kernels::Active().name);
  sws_freeContext(sws);
}
BENCHMARK(BM_YuvToRgb32VersusSwscale)->UseManualTime()->Unit(benchmark::kMillisecond);

using pixel_kernels::KernelSet;

// One converter of `set` against the same converter of the plain set.
void ConverterVersusPlain(benchmark::State& state, const KernelSet* set, pixel_kernels::Converter KernelSet::*which,
                          int bytesPerPixel, bool strideInPixels) {
  const Picture picture;
  std::vector<uint8_t> ours(size_t{kWidth} * kHeight * bytesPerPixel), plain(ours.size());
  const int dstStride = strideInPixels ? kWidth : kWidth * bytesPerPixel;
  auto run = [&](const KernelSet& kernels, std::vector<uint8_t>& dst) {
    (kernels.*which)(picture.y.data(), kWidth, picture.u.data(), picture.v.data(), kWidth / 2, dst.data(), kWidth,
                     kHeight, dstStride);
    benchmark::DoNotOptimize(dst.data());
  };
  bench_support::MeasureRatio(
      state, [&] { run(*set, ours); }, [&] { run(pixel_kernels::Plain(), plain); });
}

// The renderer's copy of a 1080p RGB32 picture, row by row.
void RowCopyVersusPlain(benchmark::State& state, const KernelSet* set) {
  const Picture picture;
  std::vector<uint8_t> from(size_t{kWidth} * kHeight * 4, 0x5A), ours(from.size()), plain(from.size());
  auto run = [&](const KernelSet& kernels, std::vector<uint8_t>& to) {
    for (size_t row = 0; row < kHeight; ++row)
      kernels.rgb32RowSettingBits(from.data() + row * kWidth * 4, to.data() + row * kWidth * 4, kWidth,
                                  0xFF000000u);
    benchmark::DoNotOptimize(to.data());
  };
  bench_support::MeasureRatio(
      state, [&] { run(*set, ours); }, [&] { run(pixel_kernels::Plain(), plain); });
}

void RegisterSetBenchmarks() {
  struct Converter {
    const char* name;
    pixel_kernels::Converter KernelSet::*member;
    int bytesPerPixel;
    bool strideInPixels;
  };
  const Converter converters[] = {
      {"YuvToRgb24", &KernelSet::rgb24, 3, true},  {"YuvToRgb32", &KernelSet::rgb32, 4, true},
      {"YuvToRgb565", &KernelSet::rgb565, 2, true}, {"YuvToYuy2", &KernelSet::yuy2, 2, false},
      {"YuvToUyvy", &KernelSet::uyvy, 2, false},
  };
  for (const pixel_kernels::Candidate& candidate : pixel_kernels::Candidates()) {
    if (!candidate.runsHere || candidate.set == &pixel_kernels::Plain()) continue;
    const KernelSet* set = candidate.set;
    for (const Converter& c : converters) {
      benchmark::RegisterBenchmark((std::string(c.name) + "/" + set->name + "VersusPlain").c_str(),
                                   ConverterVersusPlain, set, c.member, c.bytesPerPixel, c.strideInPixels)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((std::string("Rgb32RowSettingBits/") + set->name + "VersusPlain").c_str(),
                                 RowCopyVersusPlain, set)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterSetBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
