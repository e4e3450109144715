// The output deinterlacer on 1080-line field-coded pictures: the best SIMD
// set's row kernel against the plain one that defines it, in the same run.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/deinterlacer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1088;

// A scene of which some areas move and the rest stands still, so that
// every path of the kernel is taken.
class Pictures {
 public:
  Pictures() {
    std::mt19937 random(5);
    const size_t luma = size_t{kWidth} * kHeight;
    for (auto& frame : frames_) {
      frame.resize(luma * 3 / 2);
      for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i % kWidth / 64 % 2 ? random() : i / kWidth + i % kWidth);
    }
  }
  AvcDecPicture Picture(int n) {
    std::vector<uint8_t>& frame = frames_[n % 2];
    const size_t luma = size_t{kWidth} * kHeight;
    AvcDecPicture p;
    p.y = frame.data();
    p.cb = p.y + luma;
    p.cr = p.cb + luma / 4;
    p.width = p.lumaStride = kWidth;
    p.chromaStride = kWidth / 2;
    p.height = kHeight / 2;
    return p;
  }

 private:
  std::vector<uint8_t> frames_[2];
};

class Stage {
 public:
  explicit Stage(const avc::KernelSet& kernels)
      : kernels_(kernels), output_(kWidth * kHeight * 3 / 2), previous_(output_.size()) {
    state_ = {output_.data(), previous_.data(), size_t{kWidth} * kHeight};
  }
  void Run(Pictures& pictures) {
    for (int n = 0; n < 8; ++n) {
      AvcDecPicture picture = pictures.Picture(n);
      avc::DeinterlacePicture(state_, kernels_, picture, avc::DeinterlaceMode::kField);
      benchmark::DoNotOptimize(picture.y);
    }
  }

 private:
  const avc::KernelSet& kernels_;
  std::vector<uint8_t> output_, previous_;
  avc::DeinterlaceState state_;
};

void BM_DeinterlaceSimdVersusPlain(benchmark::State& state) {
  const avc::KernelSet& best = avc::SelectKernels(DetectCpuLevel());
  if (&best == &avc::PlainKernels()) {
    state.SkipWithError("no SIMD kernel set on this processor");
    return;
  }
  Pictures pictures;
  Stage simd(best), plain(avc::PlainKernels());
  bench_support::MeasureRatio(state, [&] { simd.Run(pictures); }, [&] { plain.Run(pictures); });
}
BENCHMARK(BM_DeinterlaceSimdVersusPlain)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
