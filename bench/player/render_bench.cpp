// What showing a 1080p picture costs: CQxRender::Draw (copy onto the merge
// surface, text, hand-over) plus the window's paint of it scaled into
// 1280 x 720, against FFmpeg's single-threaded decode of one 1080p H.264
// frame, measured in the same run.  Rendering should not cost more than
// decoding (ratio <= 1).
//
// The H.264 stream is made at run time with the ffmpeg tool from its test
// source; the bench decodes it with libavcodec directly.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/ratio.h"
#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/qt/qt_video_widget.h"
#include "player/output/render.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kWindowWidth = 1280, kWindowHeight = 720;

std::vector<uint8_t> MakeStream() {
  const std::filesystem::path dir = std::filesystem::path(ORLENTA_BINARY_DIR) / "bench-data";
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "testsrc2-1080p.h264";
  if (!std::filesystem::exists(file)) {
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 50 "
        "-c:v libx264 -preset medium -bf 0 -g 50 -pix_fmt yuv420p -f h264 '" + file.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
  }
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The stream cut into one packet per frame by libavcodec's parser.
std::vector<std::vector<uint8_t>> SplitFrames(const std::vector<uint8_t>& stream, AVCodecContext* context) {
  std::vector<std::vector<uint8_t>> frames;
  AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
  if (!parser) return frames;
  const uint8_t* data = stream.data();
  int left = static_cast<int>(stream.size());
  for (;;) {
    uint8_t* out = nullptr;
    int outSize = 0;
    const int used = av_parser_parse2(parser, context, &out, &outSize, data, left, AV_NOPTS_VALUE,
                                      AV_NOPTS_VALUE, 0);
    if (used < 0) break;
    data += used;
    left -= used;
    if (outSize > 0) frames.emplace_back(out, out + outSize);
    if (left == 0 && used == 0 && outSize == 0) break;
  }
  av_parser_close(parser);
  return frames;
}

class Decoder {
 public:
  Decoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    context_ = avcodec_alloc_context3(codec);
    context_->thread_count = 1;
    if (avcodec_open2(context_, codec, nullptr) < 0) {
      avcodec_free_context(&context_);
      return;
    }
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    frames_ = SplitFrames(MakeStream(), context_);
  }
  ~Decoder() {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&context_);
  }
  bool Ready() const { return context_ && frames_.size() > 1; }

  // The next frame of the stream; back to its key frame after the last.
  bool DecodeOne() {
    if (next_ == frames_.size()) {
      avcodec_flush_buffers(context_);
      next_ = 0;
    }
    std::vector<uint8_t>& bytes = frames_[next_++];
    packet_->data = bytes.data();
    packet_->size = static_cast<int>(bytes.size());
    if (avcodec_send_packet(context_, packet_) < 0) return false;
    const bool got = avcodec_receive_frame(context_, frame_) == 0;
    if (got && (frame_->width != kWidth || frame_->height != kHeight)) return false;
    return got;
  }

 private:
  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::vector<std::vector<uint8_t>> frames_;
  size_t next_ = 0;
};

std::vector<uint8_t> Picture() {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x + y);
    }
  }
  return pixels;
}

void BM_DrawAndPaint1080pVsDecode1080p(benchmark::State& state) {
  platform::ScopedDisplayBackend backend(std::make_shared<platform::QtDisplayBackend>());
  platform::QtVideoWidget window;
  window.resize(kWindowWidth, kWindowHeight);
  window.show();
  QCoreApplication::processEvents();

  CQxRender render;
  render.SetOsdPosition(4);
  Decoder decoder;
  if (render.Init(&window, kWidth, kHeight) != 1 || !decoder.Ready()) {
    state.SkipWithError("renderer or reference decoder could not be set up");
    return;
  }
  const std::vector<uint8_t> picture = Picture();
  bool ok = true;
  bench_support::MeasureRatio(
      state,
      [&] {
        ok &= render.Draw(kWidth, kHeight, picture.data(), L"2024/05/17 13:45:09", L"Entrance Camera",
                          L"FPS: 25/s") == 1;
        QCoreApplication::sendPostedEvents();
        window.repaint();
      },
      [&] { ok &= decoder.DecodeOne(); });
  if (!ok) state.SkipWithError("a draw or a decode failed");
}

BENCHMARK(BM_DrawAndPaint1080pVsDecode1080p)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

// The application must go before Qt's own globals do, so it lives in main.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
