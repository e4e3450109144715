// The decoder front's decode + RGB32 conversion against FFmpeg decoding the
// same access units alone, with the same threading; and, in that chain, the
// conversion split into bands on four threads against one call, at the sizes
// either side of where the front starts to band.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/pixels/output_formats.h"
#include "player/decode/conversion_bands.h"
#include "player/decode/decoder_threads.h"
#include "player/decode/h264_dec.h"
#include "player/decode/vdecode.h"

namespace {
namespace fs = std::filesystem;

struct StreamSize {
  int width, height, frames;
};
// 1080p is the size the front is held to; 2160p is banded.
constexpr StreamSize kSizes[] = {{1920, 1080, 10}, {3840, 2160, 6}};

StreamSize SizeOf(const benchmark::State& state) { return kSizes[state.range(0)]; }

// One group of pictures starting with a key frame, one file per access
// unit, made by ffmpeg's libx264.
std::vector<std::vector<uint8_t>> MakeAccessUnits(const StreamSize& size) {
  const fs::path dir = fs::path(ORLENTA_BINARY_DIR) / "scratch" / "vdecode_bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string frames = std::to_string(size.frames);
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + std::to_string(size.width) +
                              "x" + std::to_string(size.height) + ":rate=25 -frames:v " + frames +
                              " -c:v libx264 -preset fast -bf 0 -g " + frames + " -f image2 '" +
                              (dir / "au_%03d.h264").string() + "'";
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

size_t LargestUnit(const std::vector<std::vector<uint8_t>>& units) {
  size_t largest = 0;
  for (const auto& unit : units) largest = std::max(largest, unit.size());
  return largest;
}

// FFmpeg alone: the same decoder, threads and calls; each picture is handed
// to `use` before it is given back.
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
  template <typename Use>
  int Decode(std::vector<uint8_t>& padded, size_t size, const Use& use) {
    packet_->data = padded.data();
    packet_->size = int(size);
    avcodec_send_packet(context_, packet_);
    int pictures = 0;
    while (avcodec_receive_frame(context_, frame_) == 0) {
      ++pictures;
      use(*frame_);
      av_frame_unref(frame_);
    }
    return pictures;
  }
  int Decode(std::vector<uint8_t>& padded, size_t size) {
    return Decode(padded, size, [](const AVFrame&) {});
  }

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

void BM_FrontDecodeAndConvertVersusFfmpegDecode(benchmark::State& state) {
  const StreamSize size = SizeOf(state);
  auto units = MakeAccessUnits(size);
  if (units.size() != size_t(size.frames)) {
    state.SkipWithError("ffmpeg with libx264 is needed to make the stream");
    return;
  }
  const size_t largest = LargestUnit(units);
  std::vector<uint8_t> source(largest + kH264DecInputPadding, 0);
  std::vector<uint8_t> destination(size_t(size.width) * size.height * 4);
  CQxVDecode front;
  front.SetOutputFormat(32, 0);
  // As the video output hands payloads over: zeroes behind each one.
  front.SetSourcePadding(kH264DecInputPadding);
  if (front.Open(source.data(), destination.data(), size.width, size.height, DECODER_KIND_H264,
                 OUTPUT_FORMAT_RGB32) != 1) {
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
  state.counters["conversion_threads"] = ConversionThreadsFor(size.width, size.height, std::thread::hardware_concurrency());
  state.counters["frames_per_iteration"] = size.frames;
}
BENCHMARK(BM_FrontDecodeAndConvertVersusFfmpegDecode)
    ->ArgName("size")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// As the front converts: each picture right after FFmpeg gives it, into the
// one destination every picture goes to.  Below 1 the bands pay at that size.
void BM_ChainBandsVersusOneCall(benchmark::State& state) {
  const StreamSize size = SizeOf(state);
  auto units = MakeAccessUnits(size);
  if (units.size() != size_t(size.frames)) {
    state.SkipWithError("ffmpeg with libx264 is needed to make the stream");
    return;
  }
  const int threads = std::min(4u, std::max(std::thread::hardware_concurrency(), 1u));
  if (threads < 2) {
    state.SkipWithError("bands need more than one processor");
    return;
  }
  std::vector<uint8_t> padded(LargestUnit(units) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::vector<uint8_t> destination(size_t(size.width) * size.height * 4);
  ConversionBands banded, single;
  banded.Start(threads);
  single.Start(1);
  PlainFfmpeg bandedDecoder, singleDecoder;
  const auto chain = [&](PlainFfmpeg& decoder, ConversionBands& bands) {
    for (const auto& unit : units) {
      std::copy(unit.begin(), unit.end(), padded.begin());
      decoder.Decode(padded, unit.size(), [&](const AVFrame& f) {
        bands.Convert(kToRgb32, f.data[0], f.linesize[0], f.data[1], f.data[2], f.linesize[1], destination.data(),
                      std::min(f.width, size.width), std::min(f.height, size.height), size.width);
      });
    }
    benchmark::DoNotOptimize(destination.data());
  };
  bench_support::MeasureRatio(
      state, [&] { chain(bandedDecoder, banded); }, [&] { chain(singleDecoder, single); });
  state.counters["threads"] = threads;
  state.counters["frames_per_iteration"] = size.frames;
}
BENCHMARK(BM_ChainBandsVersusOneCall)->ArgName("size")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
