// Our MPEG-4 decoder against libavcodec's (one thread, xvid IDCT) on
// 150-picture GOPs: to I420 against libavcodec alone, and to RGB32 against
// libavcodec followed by YuvToRgb32.  Times are per GOP, and per picture in
// the counters subject_ms_per_picture and reference_ms_per_picture.  The
// streams (about 2 Mbit/s at 704x576, 4 Mbit/s at 1280x720, each by FFmpeg's
// encoder and by libxvid with quarter-sample motion) are encoded by ffmpeg
// when the benchmark starts.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"
#include "tools/vyxmux/mpeg4_vop_splitter.h"

namespace {

constexpr int kPictures = 150;

struct Stream {
  int width, height;
  std::vector<std::vector<uint8_t>> units;
};

Stream Encode(int width, int height, const std::string& options, const std::string& name) {
  const std::string file = std::string(ORLENTA_BINARY_DIR) + "/bench_" + name + ".m4v";
  const std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" + std::to_string(width) +
                          "x" + std::to_string(height) + ":rate=25 -frames:v " + std::to_string(kPictures) +
                          " -threads 1 -g " + std::to_string(kPictures) + " " + options + " -f m4v '" + file + "'";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + cmd);
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::remove(file.c_str());
  Stream s{width, height, {}};
  for (Mpeg4Vop& vop : SplitMpeg4Vops(bytes)) s.units.push_back(std::move(vop.bytes));
  return s;
}

class Ours {
 public:
  Ours(const Stream& s, int32_t format) : s_(s), format_(format) {
    out_.resize(size_t(s.width) * size_t(s.height) * 4);
  }
  void DecodeAll() {
    Mp4Decoder* d = nullptr;
    if (Mp4Dec_Create(&d, uint32_t(s_.width), uint32_t(s_.height), 0, 0) != 0) throw std::runtime_error("create");
    for (const auto& unit : s_.units) {
      Mp4DecFrame f;
      f.width = uint32_t(s_.width);
      f.height = uint32_t(s_.height);
      f.data = unit.data();
      f.length = unit.size();
      f.output = out_.data();
      f.format = format_;
      f.stride = s_.width;
      if (Mp4Dec_Decode(d, &f, 0) != 0) throw std::runtime_error("decode failed");
      benchmark::DoNotOptimize(out_.data());
    }
    Mp4Dec_Destroy(d, 0);
  }

 private:
  const Stream& s_;
  int32_t format_;
  std::vector<uint8_t> out_;
};

class Libavcodec {
 public:
  Libavcodec(const Stream& s, bool toRgb) : s_(s), toRgb_(toRgb) {
    rgb_.resize(size_t(s.width) * size_t(s.height) * 4);
  }
  void DecodeAll() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    ctx->idct_algo = FF_IDCT_XVID;
    if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("avcodec_open2");
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
      while (avcodec_receive_frame(ctx, frame) == 0) {
        if (toRgb_)
          YuvToRgb32(frame->data[0], frame->linesize[0], frame->data[1], frame->data[2], frame->linesize[1],
                     rgb_.data(), s_.width, s_.height, s_.width);
        benchmark::DoNotOptimize(frame->data[0]);
      }
    };
    for (const auto& unit : s_.units) {
      packet->data = const_cast<uint8_t*>(unit.data());
      packet->size = int(unit.size());
      avcodec_send_packet(ctx, packet);
      drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
  }

 private:
  const Stream& s_;
  bool toRgb_;
  std::vector<uint8_t> rgb_;
};

const Stream& Ffmpeg704x576() {
  static const Stream s = Encode(704, 576, "-c:v mpeg4 -b:v 2M", "mpeg4_704x576");
  return s;
}
const Stream& XvidQpel704x576() {
  static const Stream s = Encode(704, 576, "-c:v libxvid -b:v 2M -flags +qpel", "xvid_704x576");
  return s;
}
const Stream& Ffmpeg1280x720() {
  static const Stream s = Encode(1280, 720, "-c:v mpeg4 -b:v 4M", "mpeg4_1280x720");
  return s;
}
const Stream& XvidQpel1280x720() {
  static const Stream s = Encode(1280, 720, "-c:v libxvid -b:v 4M -flags +qpel", "xvid_1280x720");
  return s;
}

void Run(benchmark::State& state, const Stream& s, bool rgb) {
  Ours ours(s, rgb ? OUTPUT_FORMAT_RGB32 : OUTPUT_FORMAT_I420);
  Libavcodec reference(s, rgb);
  bench_support::MeasureRatio(
      state, [&] { ours.DecodeAll(); }, [&] { reference.DecodeAll(); });
  const double pictures = double(s.units.size());
  state.counters["subject_ms_per_picture"] = state.counters["subject_ms"] / pictures;
  state.counters["reference_ms_per_picture"] = state.counters["reference_ms"] / pictures;
}

void BM_Mpeg4Gop704x576ToI420(benchmark::State& state) { Run(state, Ffmpeg704x576(), false); }
void BM_Mpeg4Gop704x576ToRgb32(benchmark::State& state) { Run(state, Ffmpeg704x576(), true); }
void BM_XvidQpelGop704x576ToI420(benchmark::State& state) { Run(state, XvidQpel704x576(), false); }
void BM_XvidQpelGop704x576ToRgb32(benchmark::State& state) { Run(state, XvidQpel704x576(), true); }
void BM_Mpeg4Gop1280x720ToI420(benchmark::State& state) { Run(state, Ffmpeg1280x720(), false); }
void BM_Mpeg4Gop1280x720ToRgb32(benchmark::State& state) { Run(state, Ffmpeg1280x720(), true); }
void BM_XvidQpelGop1280x720ToI420(benchmark::State& state) { Run(state, XvidQpel1280x720(), false); }
void BM_XvidQpelGop1280x720ToRgb32(benchmark::State& state) { Run(state, XvidQpel1280x720(), true); }
BENCHMARK(BM_Mpeg4Gop704x576ToI420)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg4Gop704x576ToRgb32)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XvidQpelGop704x576ToI420)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XvidQpelGop704x576ToRgb32)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg4Gop1280x720ToI420)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg4Gop1280x720ToRgb32)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XvidQpelGop1280x720ToI420)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XvidQpelGop1280x720ToRgb32)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
