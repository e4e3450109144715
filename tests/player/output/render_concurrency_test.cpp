// Draw on a play thread while the user-interface thread paints: the
// hand-over of pictures to the window must be free of races.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/qt/qt_video_widget.h"
#include "player/output/render.h"

namespace {

std::vector<uint8_t> Plain(int width, int height, uint32_t rgb) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = rgb & 0xFF;
    pixels[i + 1] = rgb >> 8 & 0xFF;
    pixels[i + 2] = rgb >> 16 & 0xFF;
  }
  return pixels;
}

TEST(RenderConcurrencyTest, PlayThreadDrawsWhileTheWindowPaints) {
  platform::ScopedDisplayBackend backend(std::make_shared<platform::QtDisplayBackend>());
  platform::QtVideoWidget window;
  window.resize(640, 360);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  // The owner's lock, as the video box holds it around Draw and Repaint.
  std::mutex boxLock;
  CQxRender render;
  render.SetOsdPosition(3);
  ASSERT_EQ(render.Init(&window, 352, 288), 1);

  const std::vector<uint8_t> colours[] = {Plain(352, 288, 0x204060), Plain(352, 288, 0x604020)};
  constexpr int kFrames = 300;
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::thread play([&] {
    for (int i = 0; i < kFrames; ++i) {
      std::lock_guard lock(boxLock);
      if (render.Draw(352, 288, colours[i % 2].data(), L"2024/05/17 13:45:09", L"Lobby", L"") != 1) {
        ++failures;
      }
    }
    done = true;
  });
  int paints = 0;
  while (!done) {
    QCoreApplication::processEvents();
    window.repaint();
    {
      std::lock_guard lock(boxLock);
      render.Repaint();
    }
    ++paints;
  }
  play.join();
  EXPECT_EQ(failures, 0);
  EXPECT_GT(paints, 0);

  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
  // The last frame drawn was the second colour.
  EXPECT_EQ(shown.pixel(320, 100) & 0xFFFFFF, 0x604020u);
}

}  // namespace
