// CAdpcm::Encode runs over whole archives during AVI conversion.  The
// figure is its speed in times real time at 8000 samples per second; the
// ratio against decoding the same blocks, measured in the same run, shows
// what the step index search costs independently of the machine.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/audio/adpcm.h"

namespace {

using codecs::audio::CAdpcm;

constexpr size_t kBlocks = 160;  // about 10 s of audio
constexpr double kSampleRate = 8000;

std::vector<std::array<int16_t, CAdpcm::kSamplesPerBlock>> Speech() {
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0, 800);
  std::vector<std::array<int16_t, CAdpcm::kSamplesPerBlock>> blocks(kBlocks);
  size_t n = 0;
  for (auto& block : blocks) {
    for (int16_t& sample : block) {
      const double t = static_cast<double>(n++) / kSampleRate;
      const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 3.7 * t);
      const double value = envelope * (6000 * std::sin(2 * std::numbers::pi * 210 * t) +
                                        3000 * std::sin(2 * std::numbers::pi * 730 * t)) +
                           noise(random);
      sample = static_cast<int16_t>(value);
    }
  }
  return blocks;
}

void BM_AdpcmEncode(benchmark::State& state) {
  const auto pcm = Speech();
  std::vector<std::array<uint8_t, CAdpcm::kBlockBytes>> blocks(kBlocks);
  std::array<int16_t, CAdpcm::kSamplesPerBlock> decoded;
  CAdpcm codec;
  bench_support::MeasureRatio(
      state,
      [&] {
        for (size_t i = 0; i < kBlocks; ++i) codec.Encode(pcm[i], blocks[i]);
        benchmark::DoNotOptimize(blocks.data());
      },
      [&] {
        for (size_t i = 0; i < kBlocks; ++i) {
          codec.Decode(blocks[i], decoded);
          benchmark::DoNotOptimize(decoded.data());
        }
      });
  const double audioMs = 1000.0 * kBlocks * CAdpcm::kSamplesPerBlock / kSampleRate;
  const double encodeMs = state.counters["subject_ms"];
  state.counters["times_real_time"] = encodeMs > 0 ? audioMs / encodeMs : 0;
}
BENCHMARK(BM_AdpcmEncode)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
