// The video box paints what was last presented, never waiting for the frame
// being decoded: a repaint returns while the play thread holds the decode
// lock.
#include <gtest/gtest.h>

#include <QImage>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "player/widgets/video_box.h"
#include "tests/player/h264_test_streams.h"
#include "tests/support/qt_application.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

using namespace std::chrono_literals;

namespace {

TEST(VideoBoxPaintTest, RepaintReturnsWhileADecodeHoldsTheDecodeLock) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::QtApplication();
  testing_support::ScratchDir dir("video_box_paint");
  const auto stream = h264_test::Encode(dir, "paint", "176x144", 2, "-c:v libx264 -bf 0");
  ASSERT_TRUE(stream);

  platform::ScopedDisplayBackend display(std::make_shared<platform::QtDisplayBackend>());
  CQxVideoBox box(nullptr, nullptr);
  box.SetOutputFormat(32, 0);
  box.resize(352, 288);
  box.ShowVideoFrame(testing_support::MakeVyxFrame(FRAME_TYPE_H264_I, stream->accessUnits[0], 176, 144));
  ASSERT_TRUE(box.HasDrawnFrame());

  // The second frame's draw stops inside the decode lock until released.
  std::promise<void> inside, release;
  std::shared_future<void> released = release.get_future().share();
  box.SetDrawObserver([&](const VYX_FRAME_HEADER&) {
    inside.set_value();
    released.wait();
  });
  std::thread play(
      [&] { box.ShowVideoFrame(testing_support::MakeVyxFrame(FRAME_TYPE_H264_P, stream->accessUnits[1], 176, 144)); });
  inside.get_future().wait();
  // Should painting wait for the lock, the watchdog ends the wait so that
  // the test fails instead of hanging.
  std::atomic<bool> painted{false}, watchdogFired{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 1000 && !painted; ++i) std::this_thread::sleep_for(10ms);
    if (!painted) {
      watchdogFired = true;
      release.set_value();
    }
  });

  box.repaint();
  const QImage shown = box.grab().toImage();
  const bool drawn = box.HasDrawnFrame();
  painted = true;
  watchdog.join();
  if (!watchdogFired) release.set_value();
  play.join();

  EXPECT_FALSE(watchdogFired) << "the repaint waited for the decode lock";
  EXPECT_TRUE(drawn);
  // What is painted is the picture presented before: testsrc2, not black.
  EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::black));
}

}  // namespace
