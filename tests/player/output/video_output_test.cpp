// The video output decodes and draws without any window system: frames go
// in as the play thread hands them over, pictures come out in a window in
// memory.
#include "player/output/video_output.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory_display.h"
#include "platform/trace.h"
#include "player/output/snapshot_bmp.h"
#include "player/output/snapshot_writer.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/player/h264_test_streams.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

namespace {

using h264_test::Stream;

constexpr uint32_t kT0 = 1700000000;

// The camera's records, at kT0 unless a time is given.
VyxFrame Frame(const std::vector<uint8_t>& payload, uint8_t type, int width, int height, uint32_t time = kT0) {
  return testing_support::MakeVyxFrame(type, payload, width, height, time, "Lobby");
}

class VideoOutputTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::HaveProgram("ffmpeg")) return;
    scratch_ = new testing_support::ScratchDir("video_output");
    // Key frames at 0 and 6.
    gop_ = new std::optional<Stream>(
        h264_test::Encode(*scratch_, "gop", "176x144", 12, "-c:v libx264 -profile:v main -bf 0 -g 6"));
    bframes_ = new std::optional<Stream>(
        h264_test::Encode(*scratch_, "bframes", "176x144", 12, "-c:v libx264 -profile:v main -bf 2 -g 12"));
  }
  static void TearDownTestSuite() {
    delete gop_;
    delete bframes_;
    delete scratch_;
  }

  VideoOutputTest() : display_(std::make_shared<platform::MemoryDisplayBackend>()), output_(window_) {
    output_.SetOutputFormat(32, 0);
    output_.SetDrawObserver([this](const DrawnPicture& drawn) {
      drawn_.push_back(uint32_t{drawn.header.time});  // a copy: the header is packed
      last_.assign(drawn.pixels.begin(), drawn.pixels.end());
    });
  }

  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    ASSERT_TRUE(*gop_ && *bframes_) << "libx264 encode failed";
  }

  // Access unit i of the stream, typed by whether it is a key frame.
  VyxFrame Unit(const Stream& stream, size_t i, bool key, int width = 176, int height = 144) {
    return Frame(stream.accessUnits[i], key ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, width, height,
                 kT0 + static_cast<uint32_t>(i));
  }

  static inline testing_support::ScratchDir* scratch_ = nullptr;
  static inline std::optional<Stream>* gop_ = nullptr;
  static inline std::optional<Stream>* bframes_ = nullptr;
  platform::ScopedDisplayBackend display_;
  platform::MemoryVideoWindow window_;
  VideoOutput output_;
  std::vector<uint32_t> drawn_;  // the time of each picture drawn
  std::vector<uint8_t> last_;
};

TEST_F(VideoOutputTest, WaitsForAKeyFrameAfterEachOpen) {
  const Stream& s = **gop_;
  for (size_t i = 1; i < 6; ++i) output_.ShowVideoFrame(Unit(s, i, false));
  EXPECT_TRUE(drawn_.empty());
  EXPECT_FALSE(output_.HasDrawnFrame());
  EXPECT_EQ(window_.Presents(), 0);
  for (size_t i = 6; i < 9; ++i) output_.ShowVideoFrame(Unit(s, i, i == 6));
  EXPECT_EQ(drawn_, (std::vector<uint32_t>{kT0 + 6, kT0 + 7, kT0 + 8}));
  EXPECT_TRUE(output_.HasDrawnFrame());
  EXPECT_EQ(window_.Presents(), 3);

  // A new picture size re-opens: its predicted pictures wait for a key frame.
  drawn_.clear();
  output_.ShowVideoFrame(Unit(s, 9, false, 352, 288));
  EXPECT_TRUE(drawn_.empty());
  output_.ShowVideoFrame(Unit(s, 0, true, 352, 288));
  EXPECT_EQ(drawn_.size(), 1u);
  EXPECT_EQ(last_.size(), size_t{352} * 288 * 4);
  // So does a reset.
  output_.Reset();
  output_.ShowVideoFrame(Unit(s, 1, false, 352, 288));
  EXPECT_EQ(drawn_.size(), 1u);
}

TEST_F(VideoOutputTest, EmptyPayloadsAndImpossibleSizesDecodeNothing) {
  const Stream& s = **gop_;
  std::string traces;
  platform::ScopedTraceSink sink([&](std::string_view text) { traces += text; });
  output_.ShowVideoFrame(Frame({}, FRAME_TYPE_H264_I, 176, 144));
  for (auto [w, h] : {std::pair{0, 0}, std::pair{65535, 65535}, std::pair{8193, 16}, std::pair{16, 0}})
    output_.ShowVideoFrame(Frame(s.accessUnits[0], FRAME_TYPE_H264_I, w, h));
  EXPECT_TRUE(drawn_.empty());
  EXPECT_NE(traces.find("Picture size 65535x65535 dropped"), std::string::npos);
  EXPECT_NE(traces.find("Picture size 8193x16 dropped"), std::string::npos);
  // The largest side allowed still opens.
  output_.ShowVideoFrame(Frame(s.accessUnits[0], FRAME_TYPE_H264_I, kMaxPictureSide, 144));
  EXPECT_EQ(drawn_.size(), 1u);
}

TEST_F(VideoOutputTest, DrawsTheTextsAndKeepsThePictureAfterADecodeError) {
  const Stream& s = **gop_;
  output_.SetOsdPosition(1);
  output_.ShowVideoFrame(Unit(s, 0, true));
  output_.ShowVideoFrame(Unit(s, 1, false));
  ASSERT_EQ(drawn_.size(), 2u);

  char text[32];
  const std::time_t t = kT0 + 1;
  std::tm local{};
  localtime_r(&t, &local);
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  const std::wstring time(text, text + std::strlen(text));
  EXPECT_EQ(output_.GetTimeText(), time);
  EXPECT_EQ(output_.GetTitleText(), L"Lobby");
  EXPECT_EQ(output_.GetFpsText(), L"FPS: 1/s");
  std::vector<std::wstring> shown;
  for (const platform::DrawnText& drawn : window_.Texts()) shown.push_back(drawn.text);
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"Lobby", L"Lobby", time, time}));
  const platform::MemoryPicture picture = window_.Picture();
  EXPECT_EQ(picture.width, 720);  // the merge surface of a 176 x 144 picture
  EXPECT_EQ(picture.height, 288);

  // Noise gives no picture: what is shown stays.
  std::string traces;
  platform::ScopedTraceSink sink([&](std::string_view text) { traces += text; });
  output_.ShowVideoFrame(Frame(std::vector<uint8_t>(500, 0x11), FRAME_TYPE_H264_P, 176, 144, kT0 + 2));
  EXPECT_EQ(drawn_.size(), 2u);
  EXPECT_EQ(traces.rfind("Decode Error -1: 11 11 11 11 11", 0), 0u) << traces;
  EXPECT_EQ(window_.Picture().pixels, picture.pixels);
  EXPECT_EQ(output_.GetTimeText(), time);
}

// A title that fills its 17 bytes may end inside a UTF-8 character; a
// shorter one with an incomplete end is Latin-1.
TEST_F(VideoOutputTest, TitlesAreUtf8OrLatin1) {
  const Stream& s = **gop_;
  const struct {
    std::string title;
    std::wstring shown;
  } cases[] = {
      {"Caf\xC3\xA9", L"Caf\u00E9"},
      {"Caf\xE9", L"Caf\u00E9"},
      {std::string(15, 'a') + "\xC3\xA9", std::wstring(15, L'a') + L"\u00E9"},
      {std::string(16, 'a') + "\xC3", std::wstring(16, L'a')},
      {"Caf\xC3", L"Caf\u00C3"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    VyxFrame frame = Unit(s, 0, true);
    std::fill(std::begin(frame.index.header.title), std::end(frame.index.header.title), '\0');
    std::copy(cases[i].title.begin(), cases[i].title.end(), frame.index.header.title);
    output_.ShowVideoFrame(frame);
    ASSERT_EQ(drawn_.size(), i + 1);
    EXPECT_EQ(output_.GetTitleText(), cases[i].shown) << i;
  }
}

TEST_F(VideoOutputTest, TheEndOfTheArchiveDrawsThePicturesStillHeld) {
  const Stream& s = **bframes_;
  const auto expected = testing_support::FfmpegFrameMd5s(s.file);
  ASSERT_EQ(expected.size(), s.accessUnits.size());
  std::vector<std::string> planes;
  output_.SetPictureObserver([&](const DecodedPlanes& p) { planes.push_back(h264_test::PlaneMd5(p)); });
  for (size_t i = 0; i < s.accessUnits.size(); ++i) output_.ShowVideoFrame(Unit(s, i, i == 0));
  ASSERT_LT(drawn_.size(), expected.size());
  output_.DrainVideo();
  EXPECT_EQ(planes, expected);
  EXPECT_EQ(drawn_.size(), expected.size());
  EXPECT_EQ(drawn_.back(), kT0 + s.accessUnits.size() - 1);  // with the last frame's texts

  // Nothing is held any more, and decoding goes on from the next key frame.
  output_.DrainVideo();
  EXPECT_EQ(drawn_.size(), expected.size());
  output_.ShowVideoFrame(Unit(s, 1, false));
  EXPECT_EQ(drawn_.size(), expected.size());
  output_.ShowVideoFrame(Unit(s, 0, true));
  for (size_t i = 1; i < 4; ++i) output_.ShowVideoFrame(Unit(s, i, false));
  EXPECT_GT(drawn_.size(), expected.size());
}

TEST_F(VideoOutputTest, SnapshotIsTheLastPictureDrawn) {
  const Stream& s = **gop_;
  testing_support::ScratchDir dir("video_output_snapshot");
  const auto bmp = dir / "shot.bmp";
  EXPECT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), -1);  // nothing drawn yet
  output_.ShowVideoFrame(Unit(s, 0, true));
  output_.ShowVideoFrame(Unit(s, 1, false));
  ASSERT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), 1);
  EXPECT_EQ(testing_support::ReadFile(bmp), MakeSnapshotBmp(176, 144, last_.data()));
  const auto jpg = dir / "shot.jpg";
  ASSERT_EQ(WriteSnapshot(output_.SnapshotImage(), jpg.wstring(), false), 1);
  EXPECT_EQ(testing_support::ReadFile(jpg).at(0), 0xFF);
  output_.ClearPicture();
  EXPECT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), -1);
}

}  // namespace

namespace {

// MPEG-4 Part 2 frames (codec class 0) open the front's kind 2; the
// output starts at the first I-VOP (type 129), and each picture's planes
// are the library's own decode.
TEST(VideoOutputMpeg4, OpensTheMpeg4KindAndStartsAtAnIVop) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("video_output_mpeg4");
  const auto stream = EncodeMp4TestStream(dir / "stream.m4v", 176, 144, 6, "-c:v mpeg4 -q:v 4 -g 3");
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->units.size(), 6u);  // I P P I P P
  const auto library = DecodeMp4Units(stream->units, 176, 144);

  platform::ScopedDisplayBackend display(std::make_shared<platform::MemoryDisplayBackend>());
  platform::MemoryVideoWindow window;
  VideoOutput output(window);
  output.SetOutputFormat(32, 0);
  std::vector<std::string> planes;
  output.SetPictureObserver([&](const DecodedPlanes& p) { planes.push_back(h264_test::PlaneMd5(p)); });
  int drawn = 0;
  output.SetDrawObserver([&](const DrawnPicture&) { ++drawn; });

  auto show = [&](size_t i, uint8_t type) {
    VyxFrame frame = Frame(stream->units[i], type, 176, 144, kT0 + uint32_t(i));
    ASSERT_EQ(frame.index.codecClass, CODEC_CLASS_MPEG4);
    output.ShowVideoFrame(frame);
  };
  show(1, FRAME_TYPE_MPEG4_P);
  show(2, FRAME_TYPE_MPEG4_P);
  EXPECT_EQ(drawn, 0);
  show(3, FRAME_TYPE_MPEG4_I);
  show(4, FRAME_TYPE_MPEG4_P);
  show(5, FRAME_TYPE_MPEG4_P);
  EXPECT_EQ(drawn, 3);
  EXPECT_EQ(planes, (std::vector<std::string>{library[3].md5, library[4].md5, library[5].md5}));
  output.DrainVideo();  // MPEG-4 holds nothing back
  EXPECT_EQ(drawn, 3);
}

}  // namespace
