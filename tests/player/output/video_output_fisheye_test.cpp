// Square pictures through the video output's fisheye view: the raw picture
// first, then the chosen view composed from each decoded frame, tiles
// picked by the mouse and saved as snapshots, and the view changed by the
// user-interface thread while the play thread draws.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "dewarp/fisheye_view.h"
#include "platform/memory_display.h"
#include "player/output/snapshot_writer.h"
#include "player/output/video_output.h"
#include "tests/player/h264_test_streams.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

namespace {

constexpr uint32_t kT0 = 1700000000;

using testing_support::MakeVyxFrame;

class VideoOutputFisheyeTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::HaveProgram("ffmpeg")) return;
    scratch_ = new testing_support::ScratchDir("video_output_fisheye");
    square_ = new std::optional<h264_test::Stream>(
        h264_test::Encode(*scratch_, "square", "320x320", 4, "-c:v libx264 -profile:v main -bf 0 -g 1"));
    small_ = new std::optional<h264_test::Stream>(
        h264_test::Encode(*scratch_, "small", "96x96", 2, "-c:v libx264 -profile:v main -bf 0 -g 1"));
  }
  static void TearDownTestSuite() {
    delete square_;
    delete small_;
    delete scratch_;
  }

  VideoOutputFisheyeTest() : display_(std::make_shared<platform::MemoryDisplayBackend>()), output_(window_) {
    output_.SetOutputFormat(32, 0);
    output_.SetDrawObserver([this](const DrawnPicture& drawn) {
      width_ = drawn.width;
      height_ = drawn.height;
      last_.assign(drawn.pixels.begin(), drawn.pixels.end());
    });
  }

  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    ASSERT_TRUE(*square_ && *small_) << "libx264 encode failed";
  }

  void Show(size_t unit = 0) {
    output_.ShowVideoFrame(MakeVyxFrame(FRAME_TYPE_H264_I, (*square_)->accessUnits[unit], 320, 320, kT0));
  }

  static inline testing_support::ScratchDir* scratch_ = nullptr;
  static inline std::optional<h264_test::Stream>* square_ = nullptr;
  static inline std::optional<h264_test::Stream>* small_ = nullptr;
  platform::ScopedDisplayBackend display_;
  platform::MemoryVideoWindow window_;
  VideoOutput output_;
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> last_;
};

TEST_F(VideoOutputFisheyeTest, RawFirstThenTheChosenView) {
  Show();
  EXPECT_EQ(output_.GetViewMode(), 0);
  ASSERT_EQ(width_, 320);
  std::vector<uint32_t> raw(320 * 320);
  std::memcpy(raw.data(), last_.data(), raw.size() * 4);

  output_.ChangeViewMode(7);
  EXPECT_EQ(output_.ViewModeWidth(7), 1280);
  EXPECT_EQ(output_.ViewModeHeight(2), 160);
  Show();  // an intra frame: the same picture again
  ASSERT_EQ(width_, 1280);
  ASSERT_EQ(height_, 960);

  const DewarpSettings settings;
  FisheyeView reference(settings);
  reference.SetViewMode(0);
  reference.ComposeFisheyeView(raw.data(), 320, 320, 0);
  reference.SetViewMode(7);
  reference.ComposeFisheyeView(raw.data(), 320, 320, 0);
  reference.DrawSelectionBorder();
  EXPECT_EQ(std::memcmp(last_.data(), reference.GetViewOutputBuffer(), last_.size()), 0);
}

TEST_F(VideoOutputFisheyeTest, ClickedTileIsTheSnapshot) {
  Show();
  output_.ChangeViewMode(7);
  Show();
  // Top right tile, on a client area half the composite's size.
  EXPECT_TRUE(output_.OnDewarpMouse(kDewarpButtonDown, 0, 350, 50, 640, 480));
  EXPECT_EQ(output_.GetViewMode(), 8);
  EXPECT_FALSE(output_.OnDewarpMouse(kDewarpButtonDown, 0, 350, 50, 0, 0));
  Show();
  ASSERT_EQ(width_, 1280);

  testing_support::ScratchDir dir("video_output_fisheye_snapshot");
  const auto bmp = dir / "tile.bmp";
  ASSERT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), 1);
  const std::vector<uint8_t> saved = testing_support::ReadFile(bmp);
  ASSERT_EQ(saved.size(), 54u + 640 * 480 * 4);
  // The tile as composed, below the border.
  for (int y = 20; y < 480; y += 37) {
    EXPECT_EQ(std::memcmp(saved.data() + 54 + (static_cast<size_t>(y) * 640 + 20) * 4,
                          last_.data() + (static_cast<size_t>(y) * 1280 + 640 + 20) * 4, 600 * 4),
              0)
        << y;
  }
  const auto jpg = dir / "tile.jpg";
  ASSERT_EQ(WriteSnapshot(output_.SnapshotImage(), jpg.wstring(), false), 1);
  const std::vector<uint8_t> jpeg = testing_support::ReadFile(jpg);
  ASSERT_GT(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);

  output_.LeaveViewMode();
  EXPECT_EQ(output_.GetViewMode(), -1);
  EXPECT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), -1);
}

TEST_F(VideoOutputFisheyeTest, RawSnapshotAndNewSizes) {
  testing_support::ScratchDir dir("video_output_fisheye_raw");
  const auto bmp = dir / "raw.bmp";
  EXPECT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), -1);  // nothing yet
  Show();
  ASSERT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), 1);
  const std::vector<uint8_t> saved = testing_support::ReadFile(bmp);
  ASSERT_EQ(saved.size(), 54u + last_.size());
  EXPECT_EQ(std::memcmp(saved.data() + 54, last_.data(), last_.size()), 0);
  // A new size frees the picture the raw view showed; each layout follows.
  for (const int mode : {0, 1, 2, 5, 9, 22}) {
    output_.ChangeViewMode(mode);
    Show();
    output_.ShowVideoFrame(MakeVyxFrame(FRAME_TYPE_H264_I, (*small_)->accessUnits[0], 96, 96, kT0));
    output_.ShowVideoFrame(MakeVyxFrame(FRAME_TYPE_H264_I, (*small_)->accessUnits[1], 96, 96, kT0));
    EXPECT_GT(width_, 0) << mode;
    EXPECT_EQ(WriteSnapshot(output_.SnapshotImage(), bmp.wstring(), true), 1) << mode;
  }
}

// The user-interface thread changes views, clicks, drags and wheels while
// the play thread draws (run under ThreadSanitizer).
TEST_F(VideoOutputFisheyeTest, ViewChangesWhileThePlayThreadDraws) {
  std::atomic<bool> done{false};
  std::thread play([&] {
    for (int i = 0; i < 60; ++i) Show(static_cast<size_t>(i) % 4);
    done = true;
  });
  std::mt19937 random(3);
  const int modes[] = {0, 1, 2, 4, 6, 7, 11, 12, 14, 16, 17, 21, 22, 23};
  const auto ui = [&] {
    output_.ChangeViewMode(modes[random() % std::size(modes)]);
    output_.ViewModeWidth(output_.GetViewMode());
    output_.OnDewarpMouse(kDewarpButtonDown, 0, static_cast<int>(random() % 640), static_cast<int>(random() % 480),
                          640, 480);
    for (int step = 0; step < 3; ++step)
      output_.OnDewarpMouse(kDewarpMouseMove, 0, static_cast<int>(random() % 640),
                            static_cast<int>(random() % 480), 640, 480);
    output_.OnDewarpMouse(kDewarpButtonUp, 0, 10, 10, 640, 480);
    output_.OnDewarpMouse(kDewarpWheel, 120, 0, 0, 640, 480);
    output_.RestoreSingleViewSize();
    testing_support::ScratchDir dir("video_output_fisheye_threads");
    WriteSnapshot(output_.SnapshotImage(), (dir / "s.bmp").wstring(), true);
  };
  while (!done) ui();
  play.join();
  ui();
}

}  // namespace
