// What a fisheye view costs per frame at 1920 x 1920 with the default
// settings: compose (one table lookup per output pixel) and the selection
// border, against a memcpy of the composite measured in the same run
// (aim: at most 2 ns per composite pixel).  And what one drag step costs:
// rebuilding a 640 x 480 perspective table, against one frame's compose of
// the quad view (aim: under 40 ms, one frame at 25 fps).
#include <cstring>
#include <vector>

#include "bench/support/ratio.h"
#include "dewarp/fisheye_view.h"

namespace {

constexpr int kSource = 1920;

std::vector<uint32_t> Source() {
  std::vector<uint32_t> pixels(static_cast<size_t>(kSource) * kSource);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u);
  return pixels;
}

void ShowMode(FisheyeView& view, const std::vector<uint32_t>& source, int mode) {
  view.SetViewMode(0);
  view.ComposeFisheyeView(source.data(), kSource, kSource, 0);
  view.SetViewMode(mode);
  view.ComposeFisheyeView(source.data(), kSource, kSource, 0);
}

void BM_ComposeVsMemcpy(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const DewarpSettings settings;
  const std::vector<uint32_t> source = Source();
  FisheyeView view(settings);
  ShowMode(view, source, mode);
  const size_t pixels = static_cast<size_t>(view.GetViewOutputWidth()) * view.GetViewOutputHeight();
  std::vector<uint32_t> copy(pixels), target(pixels);
  bench_support::MeasureRatio(
      state,
      [&] {
        view.ComposeFisheyeView(source.data(), kSource, kSource, 0);
        view.DrawSelectionBorder();
        benchmark::DoNotOptimize(view.GetViewOutputBuffer());
      },
      [&] {
        std::memcpy(target.data(), copy.data(), pixels * 4);
        benchmark::DoNotOptimize(target.data());
      });
  state.counters["composite_pixels"] = static_cast<double>(pixels);
  state.counters["ns_per_pixel"] = benchmark::Counter(
      static_cast<double>(pixels) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PtzRebuildVsQuadCompose(benchmark::State& state) {
  const DewarpSettings settings;
  const std::vector<uint32_t> source = Source();
  FisheyeView quad(settings);
  ShowMode(quad, source, 7);
  DewarpChannel channel;
  PtzCommand command;
  command.lens = {settings.a0, settings.a1, settings.a2, settings.a3, settings.a4, settings.a5};
  command.width = 640;
  command.height = 480;
  command.tilt = 30;
  command.zoom = 120;
  int16_t pan = 0;
  bench_support::MeasureRatio(
      state,
      [&] {
        command.pan = pan = static_cast<int16_t>((pan + 1) % 360);
        channel.SetPtz(command);
        ProcessDewarpFrame(channel, source.data(), kSource, kSource, 0);
      },
      [&] {
        quad.ComposeFisheyeView(source.data(), kSource, kSource, 0);
        benchmark::DoNotOptimize(quad.GetViewOutputBuffer());
      });
}

}  // namespace

// Single, dual 180, 360, quad, wall 180.
BENCHMARK(BM_ComposeVsMemcpy)
    ->Arg(1)->Arg(2)->Arg(4)->Arg(7)->Arg(22)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PtzRebuildVsQuadCompose)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
