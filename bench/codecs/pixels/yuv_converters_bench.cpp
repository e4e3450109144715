// The converters as the player runs them.
//
// - YuvToRgb32VersusSwscale: YuvToRgb32 at 1080p with the kernel set chosen
//   for this processor against libswscale's yuv420p to bgr0 conversion of
//   the same planes into the same layout.
// - Chain/<converter>/<size>: a picture converted and then copied row by row
//   into a surface, as the renderer does with every picture (the set's own
//   32-bit row copy for RGB32, memcpy for the other layouts).  Every SIMD
//   set the processor runs takes its turn in the same iteration (the plain
//   set, an order of magnitude slower, would only stretch the run), and so
//   does
//   libswscale's conversion into the same layout followed by the chosen
//   set's row copy.  Counters: each set's median in milliseconds, "ratio" =
//   chosen / libswscale, "chosen_vs_fastest" = chosen / the fastest set
//   (1 when the choice is right, within the noise).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/kernels/cpu_features.h"
#include "codecs/pixels/pixel_kernels.h"
#include "codecs/pixels/yuv_converters.h"

namespace {

using pixel_kernels::KernelSet;

struct Size {
  const char* name;
  int width, height;
};

constexpr Size kSizes[] = {
    {"CIF", 352, 288}, {"D1", 720, 576}, {"720p", 1280, 720}, {"1080p", 1920, 1080},
    {"2160p", 3840, 2160},
};

struct Picture {
  int width, height;
  std::vector<uint8_t> y, u, v;
  Picture(int w, int h) : width(w), height(h), y(size_t(w) * h), u(size_t(w) * h / 4), v(size_t(w) * h / 4) {
    std::mt19937 random(5);
    for (auto* plane : {&y, &u, &v})
      for (size_t i = 0; i < plane->size(); i += 4) {
        const uint32_t bits = random();
        std::memcpy(plane->data() + i, &bits, std::min<size_t>(4, plane->size() - i));
      }
  }
};

class Swscale {
 public:
  Swscale(const Picture& picture, AVPixelFormat format, int bytesPerPixel)
      : picture_(picture),
        context_(sws_getContext(picture.width, picture.height, AV_PIX_FMT_YUV420P, picture.width, picture.height,
                                format, SWS_BILINEAR, nullptr, nullptr, nullptr)),
        rowBytes_(picture.width * bytesPerPixel) {
    if (!context_) throw std::runtime_error("swscale refused the conversion");
  }
  ~Swscale() { sws_freeContext(context_); }
  Swscale(const Swscale&) = delete;
  Swscale& operator=(const Swscale&) = delete;

  void Convert(uint8_t* out) const {
    const uint8_t* const planes[3] = {picture_.y.data(), picture_.u.data(), picture_.v.data()};
    const int strides[3] = {picture_.width, picture_.width / 2, picture_.width / 2};
    uint8_t* const outs[1] = {out};
    sws_scale(context_, planes, strides, 0, picture_.height, outs, &rowBytes_);
  }

 private:
  const Picture& picture_;
  SwsContext* context_;
  int rowBytes_;
};

void BM_YuvToRgb32VersusSwscale(benchmark::State& state) {
  const Picture picture(1920, 1080);
  std::vector<uint8_t> ours(size_t(picture.width) * picture.height * 4), theirs(ours.size());
  const Swscale sws(picture, AV_PIX_FMT_BGR0, 4);
  bench_support::MeasureRatio(
      state,
      [&] {
        YuvToRgb32(picture.y.data(), picture.width, picture.u.data(), picture.v.data(), picture.width / 2,
                   ours.data(), picture.width, picture.height, picture.width);
        benchmark::DoNotOptimize(ours.data());
      },
      [&] {
        sws.Convert(theirs.data());
        benchmark::DoNotOptimize(theirs.data());
      });
  state.SetLabel(pixel_kernels::Sets().ChosenSet().name);
}
BENCHMARK(BM_YuvToRgb32VersusSwscale)->UseManualTime()->Unit(benchmark::kMillisecond);

struct Converter {
  const char* name;
  pixel_kernels::Converter KernelSet::*member;
  int bytesPerPixel;
  bool strideInPixels;
  AVPixelFormat swscaleFormat;
};

constexpr Converter kConverters[] = {
    {"YuvToRgb24", &KernelSet::rgb24, 3, true, AV_PIX_FMT_BGR24},
    {"YuvToRgb32", &KernelSet::rgb32, 4, true, AV_PIX_FMT_BGR0},
    {"YuvToRgb565", &KernelSet::rgb565, 2, true, AV_PIX_FMT_RGB565LE},
    {"YuvToYuy2", &KernelSet::yuy2, 2, false, AV_PIX_FMT_YUYV422},
    {"YuvToUyvy", &KernelSet::uyvy, 2, false, AV_PIX_FMT_UYVY422},
};

// The renderer's copy of a picture into its surface (unpadded rows on both
// sides, as the picture surface has them).
void CopyIntoSurface(const KernelSet& set, const Converter& c, int width, int height, const uint8_t* from,
                     uint8_t* to) {
  const size_t rowBytes = size_t(width) * c.bytesPerPixel;
  for (size_t row = 0; row < size_t(height); ++row) {
    if (c.member == &KernelSet::rgb32)
      set.rgb32RowSettingBits(from + row * rowBytes, to + row * rowBytes, size_t(width), 0xFF000000u);
    else
      std::memcpy(to + row * rowBytes, from + row * rowBytes, rowBytes);
  }
}

void Chain(benchmark::State& state, const Converter* c, Size size) {
  const Picture picture(size.width, size.height);
  std::vector<uint8_t> converted(size_t(size.width) * size.height * c->bytesPerPixel), surface(converted.size());
  const int dstStride = c->strideInPixels ? size.width : size.width * c->bytesPerPixel;
  const auto& family = pixel_kernels::Sets();
  const auto& chosenSet = family.ChosenSet();
  const KernelSet& chosen = *chosenSet.table;

  std::vector<const codecs::KernelFamily<KernelSet>::Set*> sets{&chosenSet};
  for (const auto& candidate : family.All())
    if (family.Runs(candidate, codecs::ProcessorFeatures()) && &candidate != &chosenSet &&
        candidate.table != &family.Plain())
      sets.push_back(&candidate);
  std::vector<std::function<void()>> contenders;
  for (const auto* entry : sets) {
    const KernelSet* set = entry->table;
    contenders.push_back([&, set] {
      (set->*(c->member))(picture.y.data(), size.width, picture.u.data(), picture.v.data(), size.width / 2,
                          converted.data(), size.width, size.height, dstStride);
      CopyIntoSurface(*set, *c, size.width, size.height, converted.data(), surface.data());
      benchmark::DoNotOptimize(surface.data());
    });
  }
  const Swscale sws(picture, c->swscaleFormat, c->bytesPerPixel);
  contenders.push_back([&] {
    sws.Convert(converted.data());
    CopyIntoSurface(chosen, *c, size.width, size.height, converted.data(), surface.data());
    benchmark::DoNotOptimize(surface.data());
  });

  const std::vector<double> medians = bench_support::MeasureInTurn(state, contenders);
  for (size_t i = 0; i < sets.size(); ++i) state.counters[std::string(sets[i]->name) + "_ms"] = medians[i] * 1e3;
  state.counters["swscale_ms"] = medians.back() * 1e3;
  state.counters["ratio"] = medians.back() > 0 ? medians[0] / medians.back() : 0;
  const double fastest = *std::min_element(medians.begin(), medians.end() - 1);
  state.counters["chosen_vs_fastest"] = fastest > 0 ? medians[0] / fastest : 0;
  state.SetLabel(chosenSet.name);
}

// A fixed number of iterations, fewer for larger pictures, keeps the whole
// run short; run it with --benchmark_repetitions for steadier medians.
void RegisterChains() {
  for (const Converter& c : kConverters) {
    for (const Size& size : kSizes) {
      benchmark::RegisterBenchmark((std::string("Chain/") + c.name + "/" + size.name).c_str(), Chain, &c, size)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(std::max(7, 40'000'000 / (size.width * size.height)));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterChains();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
