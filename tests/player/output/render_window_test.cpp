// Pictures drawn through the renderer reach a real window: the window is
// grabbed from the screen after the event loop ran, saved as a PNG under
// the build tree for a person to look at, and compared with the picture.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <vector>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/qt/qt_video_widget.h"
#include "player/output/render.h"

namespace {

constexpr int kFontHeight = 26;
const wchar_t kTitle[] = L"Entrance Camera";
const wchar_t kTime[] = L"2024/05/17 13:45:09";

// Colour bars over the top two thirds, a grey ramp below: every region has
// a colour of its own and none is the text's pure green or black.
uint32_t TestColour(int x, int y, int width, int height) {
  static const uint32_t bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0};
  if (y < height * 2 / 3) return bars[x * 7 / width];
  const uint32_t level = 16 + static_cast<uint32_t>(x) * 224 / static_cast<uint32_t>(width);
  return level << 16 | level << 8 | level;
}

std::vector<uint8_t> TestPicture(int width, int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = TestColour(x, y, width, height);
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = rgb & 0xFF;
      p[1] = rgb >> 8 & 0xFF;
      p[2] = rgb >> 16 & 0xFF;
      p[3] = 0;
    }
  }
  return pixels;
}

std::filesystem::path OutputPng(const char* name) {
  const std::filesystem::path dir = std::filesystem::path(ORLENTA_BINARY_DIR) / "test-output";
  std::filesystem::create_directories(dir);
  return dir / name;
}

class RenderWindowTest : public ::testing::Test {
 protected:
  void ShowWindow(int width, int height) {
    window_.resize(width, height);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  // What the screen shows of the window once queued repaints have run.
  QImage GrabScreen() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
    return window_.screen()->grabWindow(window_.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  }

  platform::ScopedDisplayBackend backend_{std::make_shared<platform::QtDisplayBackend>()};
  platform::QtVideoWidget window_;
  CQxRender render_;
};

TEST_F(RenderWindowTest, PictureWithBothTextsFillsTheWindow) {
  const int width = 704, height = 576;
  ShowWindow(width, height);
  const QImage before = GrabScreen();
  ASSERT_EQ(before.size(), QSize(width, height));
  EXPECT_EQ(before.pixel(width / 2, height / 2), 0xFF000000u) << "black before the first picture";

  render_.SetOsdPosition(2);
  ASSERT_EQ(render_.Init(&window_, width, height), 1);
  const std::vector<uint8_t> picture = TestPicture(width, height);
  ASSERT_EQ(render_.Draw(width, height, picture.data(), kTime, kTitle, L"FPS: 25/s"), 1);
  const QImage shown = GrabScreen();
  ASSERT_TRUE(shown.save(QString::fromStdString(OutputPng("render_window_704x576.png").string())));
  ASSERT_EQ(shown.size(), QSize(width, height));

  // Right-top: title at width - 15 per character, time at width - 11 per
  // character, each with the room the layout gives it.
  const int titleLength = static_cast<int>(std::wcslen(kTitle));
  const int timeLength = static_cast<int>(std::wcslen(kTime));
  const QRect titleBox(width - 15 * titleLength, 5, 15 * titleLength + 1, kFontHeight + 2);
  const QRect timeBox(width - 11 * timeLength, kFontHeight + 7, 11 * timeLength + 1, kFontHeight + 2);
  int mismatches = 0, green = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const QRgb pixel = shown.pixel(x, y);
      if (titleBox.contains(x, y) || timeBox.contains(x, y)) {
        green += pixel == 0xFF00FF00u;
      } else if (pixel != (0xFF000000u | TestColour(x, y, width, height))) {
        ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(green, 300);
}

// A CIF picture is widened to 720 on its merge surface and then scaled to
// a window of another shape.
TEST_F(RenderWindowTest, SmallPictureIsScaledToTheWholeWindow) {
  const int width = 352, height = 288, windowWidth = 960, windowHeight = 540;
  ShowWindow(windowWidth, windowHeight);
  render_.SetOsdPosition(4);
  ASSERT_EQ(render_.Init(&window_, width, height), 1);
  const std::vector<uint8_t> picture = TestPicture(width, height);
  ASSERT_EQ(render_.Draw(width, height, picture.data(), kTime, kTitle, nullptr), 1);
  const QImage shown = GrabScreen();
  ASSERT_TRUE(shown.save(QString::fromStdString(OutputPng("render_window_352x288_scaled.png").string())));
  ASSERT_EQ(shown.size(), QSize(windowWidth, windowHeight));

  // The middle of each bar, well away from the bottom-right text.
  for (int bar = 0; bar < 7; ++bar) {
    SCOPED_TRACE("bar " + std::to_string(bar));
    const int x = (2 * bar + 1) * windowWidth / 14;
    const QRgb expected = TestColour((2 * bar + 1) * width / 14, height / 3, width, height);
    const QRgb pixel = shown.pixel(x, windowHeight / 3);
    EXPECT_NEAR(qRed(pixel), qRed(expected), 2);
    EXPECT_NEAR(qGreen(pixel), qGreen(expected), 2);
    EXPECT_NEAR(qBlue(pixel), qBlue(expected), 2);
  }
  // The bottom-right text lands at the bottom right of the window.
  int green = 0;
  for (int y = windowHeight * 3 / 4; y < windowHeight; ++y) {
    for (int x = windowWidth / 2; x < windowWidth; ++x) green += qGreen(shown.pixel(x, y)) > 0xF0 &&
                                                                 qRed(shown.pixel(x, y)) < 0x40;
  }
  EXPECT_GT(green, 300);
}

}  // namespace
