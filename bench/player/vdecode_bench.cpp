// The decoder front's decode + RGB32 conversion of 1080p frames against
// FFmpeg decoding the same access units alone, with the same threading; and
// the conversion alone, split into the front's bands, against one call.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"
#include "player/decode/conversion_bands.h"
#include "player/decode/decoder_threads.h"
#include "player/decode/h264_dec.h"
#include "player/decode/vdecode.h"

namespace {
namespace fs = std::filesystem;

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 10;

// One group of pictures starting with a key frame, one file per access
// unit, made by ffmpeg's libx264.
std::vector<std::vector<uint8_t>> Make1080pAccessUnits() {
  const fs::path dir = fs::path(ORLENTA_BINARY_DIR) / "scratch" / "vdecode_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v " +
                              std::to_string(kFrames) + " -c:v libx264 -preset fast -bf 0 -g " +
                              std::to_string(kFrames) + " -f image2 '" + (dir / "au_%03d.h264").string() + "'";
  std::vector<std::vector<uint8_t>> units;
  if (std::system(command.c_str()) != 0) return units;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    units.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove_all(dir);
  return units;
}

// FFmpeg alone: the same decoder, threads and calls, no conversion.
class PlainFfmpeg {
 public:
  PlainFfmpeg() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    context_ = avcodec_alloc_context3(codec);
    context_->thread_count = DecoderThreadCountFromEnvironment();
    context_->thread_type = FF_THREAD_SLICE;
    context_->flags |= AV_CODEC_FLAG_UNALIGNED;
    avcodec_open2(context_, codec, nullptr);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
  }
  ~PlainFfmpeg() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
  }
  int Decode(std::vector<uint8_t>& padded, size_t size) {
    packet_->data = padded.data();
    packet_->size = int(size);
    avcodec_send_packet(context_, packet_);
    int pictures = 0;
    while (avcodec_receive_frame(context_, frame_) == 0) {
      ++pictures;
      av_frame_unref(frame_);
    }
    return pictures;
  }

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

void BM_FrontDecodeAndConvertVersusFfmpegDecode1080p(benchmark::State& state) {
  auto units = Make1080pAccessUnits();
  if (units.size() != size_t(kFrames)) {
    state.SkipWithError("ffmpeg with libx264 is needed to make the 1080p stream");
    return;
  }
  size_t largest = 0;
  for (const auto& unit : units) largest = std::max(largest, unit.size());
  std::vector<uint8_t> source(largest + kH264DecInputPadding, 0);
  std::vector<uint8_t> destination(size_t(kWidth) * kHeight * 4);
  CQxVDecode front;
  front.SetOutputFormat(32, 0);
  // As the video output hands payloads over: zeroes behind each one.
  front.SetSourcePadding(kH264DecInputPadding);
  if (front.Open(source.data(), destination.data(), kWidth, kHeight, DECODER_KIND_H264, OUTPUT_FORMAT_RGB32) != 1) {
    state.SkipWithError("the H.264 decoder did not open");
    return;
  }
  PlainFfmpeg ffmpeg;
  std::vector<uint8_t> padded(largest + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  int frontPictures = 0, ffmpegPictures = 0;

  bench_support::MeasureRatio(
      state,
      [&] {
        for (const auto& unit : units) {
          const auto end = std::copy(unit.begin(), unit.end(), source.begin());
          std::fill(end, end + kH264DecInputPadding, 0);
          frontPictures += front.Decode(int32_t(unit.size())) == 0;
        }
        benchmark::DoNotOptimize(destination.data());
      },
      [&] {
        for (const auto& unit : units) {
          std::copy(unit.begin(), unit.end(), padded.begin());
          ffmpegPictures += ffmpeg.Decode(padded, unit.size());
        }
      });
  if (frontPictures != ffmpegPictures) state.SkipWithError("the two decoders gave different picture counts");
  state.counters["frames_per_iteration"] = kFrames;
}
BENCHMARK(BM_FrontDecodeAndConvertVersusFfmpegDecode1080p)->UseManualTime()->Unit(benchmark::kMillisecond);

// Each picture goes to a destination of its own, ten of them far more than
// the caches hold, so that every conversion stores to memory as the
// front's does after a decode.
void BM_BandedConversionVersusOneCall1080p(benchmark::State& state) {
  const int uvWidth = (kWidth + 1) / 2, uvHeight = (kHeight + 1) / 2;
  std::vector<uint8_t> y(size_t(kWidth) * kHeight), u(size_t(uvWidth) * uvHeight), v(u.size());
  std::mt19937 random(7);
  for (auto* plane : {&y, &u, &v}) {
    for (auto& sample : *plane) sample = uint8_t(random());
  }
  std::vector<std::vector<uint8_t>> destinations(kFrames, std::vector<uint8_t>(size_t(kWidth) * kHeight * 4));
  const int threads = ConversionThreadsFor(kWidth, kHeight, std::thread::hardware_concurrency());
  ConversionBands banded;
  banded.Start(threads);
  bench_support::MeasureRatio(
      state,
      [&] {
        for (auto& destination : destinations) {
          banded.Convert(kToRgb32, y.data(), kWidth, u.data(), v.data(), uvWidth, destination.data(), kWidth,
                         kHeight, kWidth);
        }
      },
      [&] {
        for (auto& destination : destinations) {
          YuvToRgb32(y.data(), kWidth, u.data(), v.data(), uvWidth, destination.data(), kWidth, kHeight, kWidth);
        }
      });
  state.counters["threads"] = threads;
  state.counters["frames_per_iteration"] = kFrames;
}
BENCHMARK(BM_BandedConversionVersusOneCall1080p)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
