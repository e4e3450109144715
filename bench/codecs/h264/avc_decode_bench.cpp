// The own H.264 library's plain kernels against FFmpeg's decoder on the same
// access units, one thread and no SIMD (av_force_cpu_flags(0)), measured in
// the same run: 1080p libx264 Baseline streams, intra-only CAVLC and I/P
// (one IDR picture, then P pictures with moving content), and the BA1_FT_C
// conformance stream (CIF, several slices per picture).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/cpu.h>
}

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/h264/avc_decoder.h"
#include "tools/vyxmux/annexb_splitter.h"

namespace {
namespace fs = std::filesystem;

constexpr int kFrames = 8;

// Access units, one per picture, made by libx264 from `source` with
// `x264Params`: each round decodes them all, starting at an IDR picture.
std::vector<std::vector<uint8_t>> MakeUnits(const std::string& name, const std::string& source,
                                            const std::string& x264Params) {
  const fs::path dir = fs::path(ORLENTA_BINARY_DIR) / "scratch" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i " + source +
                              "=size=1920x1080:rate=25 -frames:v " + std::to_string(kFrames) +
                              " -pix_fmt yuv420p -c:v libx264 -profile:v baseline -bf 0 -x264-params " + x264Params +
                              " -f image2 '" + (dir / "au_%03d.h264").string() + "'";
  std::vector<std::vector<uint8_t>> units;
  if (std::system(command.c_str()) != 0) return units;
  for (int i = 1; i <= kFrames; ++i) {
    char file[32];
    std::snprintf(file, sizeof file, "au_%03d.h264", i);
    std::ifstream in(dir / file, std::ios::binary);
    units.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    units.back().resize(units.back().size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  }
  fs::remove_all(dir);
  return units;
}

// The access units of an Annex B file, each followed by FFmpeg's padding.
std::vector<std::vector<uint8_t>> ReadUnits(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<uint8_t>> units;
  for (AccessUnit& unit : SplitAnnexB(stream)) {
    unit.bytes.resize(unit.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    units.push_back(std::move(unit.bytes));
  }
  return units;
}

void Measure(benchmark::State& state, const std::vector<std::vector<uint8_t>>& units, uint32_t widthMbs,
             uint32_t heightMbs) {
  AvcDecParams params;
  params.widthInMbs = widthMbs;
  params.heightInMbs = heightMbs;
  params.maxRefFrames = 16;
  params.flags = kAvcDecBumping;
  AvcDecContext* own = AvcDecCreate(&params);

  av_force_cpu_flags(0);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* ffmpeg = avcodec_alloc_context3(codec);
  ffmpeg->thread_count = 1;
  avcodec_open2(ffmpeg, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();

  bench_support::MeasureRatio(
      state,
      [&] {
        for (const auto& unit : units) {
          AvcDecPicture picture;
          const int32_t size = static_cast<int32_t>(unit.size() - AV_INPUT_BUFFER_PADDING_SIZE);
          benchmark::DoNotOptimize(AvcDecDecode(own, unit.data(), size, 0, 0, &picture, nullptr));
        }
      },
      [&] {
        for (const auto& unit : units) {
          packet->data = const_cast<uint8_t*>(unit.data());
          packet->size = static_cast<int>(unit.size() - AV_INPUT_BUFFER_PADDING_SIZE);
          avcodec_send_packet(ffmpeg, packet);
          while (avcodec_receive_frame(ffmpeg, frame) == 0) av_frame_unref(frame);
        }
      });

  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&ffmpeg);
  AvcDecDestroy(own);
}

void BM_IntraDecode1080p(benchmark::State& state) {
  const auto units = MakeUnits("avc_intra_bench", "testsrc2", "keyint=1:cabac=0:8x8dct=0:qp=26");
  if (units.size() != kFrames) {
    state.SkipWithError("ffmpeg could not make the stream");
    return;
  }
  Measure(state, units, 120, 68);
}
BENCHMARK(BM_IntraDecode1080p)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_InterDecode1080p(benchmark::State& state) {
  const auto units = MakeUnits("avc_inter_bench", "mandelbrot", "cabac=0:8x8dct=0:ref=3:qp=26");
  if (units.size() != kFrames) {
    state.SkipWithError("ffmpeg could not make the stream");
    return;
  }
  Measure(state, units, 120, 68);
}
BENCHMARK(BM_InterDecode1080p)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ConformanceBA1FT(benchmark::State& state) {
  const fs::path file = fs::path(ORLENTA_TESTDATA_DIR) / "h264" / "BA1_FT_C.264";
  if (!fs::exists(file)) {
    state.SkipWithError("reference material absent: h264/BA1_FT_C.264");
    return;
  }
  Measure(state, ReadUnits(file), 22, 18);
}
BENCHMARK(BM_ConformanceBA1FT)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
