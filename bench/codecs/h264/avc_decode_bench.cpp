// The own H.264 library against FFmpeg's decoder on the same access units,
// one thread each, measured in the same run ("ratio" = our time / FFmpeg's):
// Simd/* with the library's best SIMD kernel set against FFmpeg with its
// assembly, Plain/* with the plain set against FFmpeg without SIMD
// (av_force_cpu_flags(0)).  Streams: a 1080p libx264 Baseline stream made
// here (testsrc2 with temporal noise, 8 Mbit/s, one IDR picture then P
// pictures) and the BA1_FT_C and CI1_FT_B conformance streams (CIF,
// several slices per picture), skipped when absent.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/cpu.h>
}

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/avc_kernel_choice.h"
#include "tools/vyxmux/annexb_splitter.h"

namespace {
namespace fs = std::filesystem;

using Units = std::vector<std::vector<uint8_t>>;

constexpr int kFrames = 25;

// The access units of an Annex B file, each followed by FFmpeg's padding.
Units ReadUnits(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Units units;
  for (AccessUnit& unit : SplitAnnexB(stream)) {
    unit.bytes.resize(unit.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    units.push_back(std::move(unit.bytes));
  }
  return units;
}

// Made once for both kernel sets; empty when ffmpeg failed.
const Units& Units1080p() {
  static const Units units = [] {
    const fs::path dir = fs::path(ORLENTA_BINARY_DIR) / "scratch" / "avc_decode_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "noise1080p.264";
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -vf noise=alls=20:allf=t "
        "-frames:v " + std::to_string(kFrames) +
        " -pix_fmt yuv420p -c:v libx264 -profile:v baseline -b:v 8M -maxrate 8M -bufsize 8M -f h264 '" +
        file.string() + "'";
    Units made;
    if (std::system(command.c_str()) == 0) made = ReadUnits(file);
    fs::remove_all(dir);
    if (made.size() != kFrames) made.clear();
    return made;
  }();
  return units;
}

enum class Kernels { kSimd, kPlain };

void Measure(benchmark::State& state, const Units& units, uint32_t widthMbs, uint32_t heightMbs, Kernels kernels) {
  AvcDecParams params;
  params.widthInMbs = widthMbs;
  params.heightInMbs = heightMbs;
  params.maxRefFrames = 16;
  params.flags = kAvcDecBumping;
  AvcDecContext* own = AvcDecCreate(&params);
  AvcDecForceKernels(own, kernels == Kernels::kPlain ? AvcKernelChoice::kPlain : AvcKernelChoice::kBestSimd);

  // FFmpeg picks its routines when the codec opens.
  if (kernels == Kernels::kPlain) av_force_cpu_flags(0);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* ffmpeg = avcodec_alloc_context3(codec);
  ffmpeg->thread_count = 1;
  avcodec_open2(ffmpeg, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();

  auto decodeOwn = [&] {
    for (const auto& unit : units) {
      AvcDecPicture picture;
      const int32_t size = static_cast<int32_t>(unit.size() - AV_INPUT_BUFFER_PADDING_SIZE);
      benchmark::DoNotOptimize(AvcDecDecode(own, unit.data(), size, 0, 0, &picture, nullptr));
    }
  };
  auto decodeFfmpeg = [&] {
    for (const auto& unit : units) {
      packet->data = const_cast<uint8_t*>(unit.data());
      packet->size = static_cast<int>(unit.size() - AV_INPUT_BUFFER_PADDING_SIZE);
      avcodec_send_packet(ffmpeg, packet);
      while (avcodec_receive_frame(ffmpeg, frame) == 0) av_frame_unref(frame);
    }
  };
  // One untimed round each: the first touch of every picture buffer costs
  // page faults that belong to neither decoder's steady state.
  decodeOwn();
  decodeFfmpeg();
  bench_support::MeasureRatio(state, decodeOwn, decodeFfmpeg);

  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&ffmpeg);
  if (kernels == Kernels::kPlain) av_force_cpu_flags(-1);
  AvcDecDestroy(own);
}

void Decode1080p(benchmark::State& state, Kernels kernels) {
  const Units& units = Units1080p();
  if (units.empty()) {
    state.SkipWithError("ffmpeg could not make the 1080p stream");
    return;
  }
  Measure(state, units, 120, 68, kernels);
}

void DecodeConformance(benchmark::State& state, const char* name, Kernels kernels) {
  const fs::path file = fs::path(ORLENTA_TESTDATA_DIR) / "h264" / name;
  if (!fs::exists(file)) {
    state.SkipWithError((std::string("reference material absent: h264/") + name).c_str());
    return;
  }
  Measure(state, ReadUnits(file), 22, 18, kernels);
}

void Register(const char* name, void (*run)(benchmark::State&), int iterations) {
  benchmark::RegisterBenchmark(name, run)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
}

const bool kRegistered = [] {
  Register("Simd/1080p", [](benchmark::State& s) { Decode1080p(s, Kernels::kSimd); }, 5);
  Register("Plain/1080p", [](benchmark::State& s) { Decode1080p(s, Kernels::kPlain); }, 5);
  Register("Simd/BA1_FT_C", [](benchmark::State& s) { DecodeConformance(s, "BA1_FT_C.264", Kernels::kSimd); }, 20);
  Register("Plain/BA1_FT_C", [](benchmark::State& s) { DecodeConformance(s, "BA1_FT_C.264", Kernels::kPlain); }, 20);
  Register("Simd/CI1_FT_B", [](benchmark::State& s) { DecodeConformance(s, "CI1_FT_B.264", Kernels::kSimd); }, 20);
  Register("Plain/CI1_FT_B", [](benchmark::State& s) { DecodeConformance(s, "CI1_FT_B.264", Kernels::kPlain); }, 20);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
