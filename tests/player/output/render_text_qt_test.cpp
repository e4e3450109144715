// The renderer's text as the Qt back end draws it: green over a black
// shadow, where the layout puts it.
#include "player/output/render.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/qt/qt_display.h"
#include "platform/qt/qt_video_widget.h"
#include "platform/trace.h"
#include "tests/player/output/render_test_pictures.h"

namespace {

using namespace render_test;

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() : backend_(std::make_shared<platform::QtDisplayBackend>()) {}

  int DrawPicture(int width, int height, uint32_t rgb = 0x808080) {
    const std::vector<uint8_t> pixels = Picture(width, height, rgb);
    return render_.Draw(width, height, pixels.data(), kTime, kTitle, L"FPS: 25/s");
  }

  QImage Shown() const { return window_.CurrentPicture(); }

  platform::ScopedDisplayBackend backend_;
  platform::QtVideoWidget window_;
  CQxRender render_;
};

struct LinePlacement {
  int x, y, width;  // width: the room the layout gives the line
};

struct OsdCase {
  int position;
  int width, height;  // the picture's
};

class OsdTest : public RenderTest, public ::testing::WithParamInterface<OsdCase> {
 protected:
  // The layout, worked out independently of the renderer on the merge
  // surface's size: titles get 15 pixels a character, times 11.
  static std::vector<LinePlacement> Expected(int position, int w, int h) {
    const int title = static_cast<int>(std::wcslen(kTitle));
    const int time = static_cast<int>(std::wcslen(kTime));
    const bool right = position == 2 || position == 4;
    const bool bottom = position == 3 || position == 4;
    return {{right ? w - 15 * title : 5, bottom ? h - 2 * kFontHeight - 7 : 5, 15 * title},
            {right ? w - 11 * time : 5, bottom ? h - kFontHeight - 5 : kFontHeight + 7, 11 * time}};
  }

  static bool Inside(const LinePlacement& line, int x, int y) {
    return x >= line.x && x <= line.x + line.width && y >= line.y && y <= line.y + kFontHeight;
  }
};

TEST_P(OsdTest, GreenTextWithShadowOnlyWhereTheLayoutPutsIt) {
  const OsdCase c = GetParam();
  ASSERT_EQ(render_.SetOsdPosition(c.position), c.position);
  ASSERT_EQ(render_.Init(&window_, c.width, c.height), 1);
  ASSERT_EQ(DrawPicture(c.width, c.height), 1);
  const QImage shown = Shown();
  ASSERT_FALSE(shown.isNull());

  const bool osdOn = c.position >= 1 && c.position <= 4;
  const std::vector<LinePlacement> lines =
      osdOn ? Expected(c.position, shown.width(), shown.height()) : std::vector<LinePlacement>{};
  struct Found {
    int green = 0, shadowed = 0, left = 1 << 30, top = 1 << 30;
  };
  std::vector<Found> found(lines.size());
  int stray = 0;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      const QRgb pixel = shown.pixel(x, y);
      if (pixel == kGrey) continue;
      size_t line = 0;
      while (line < lines.size() && !Inside(lines[line], x, y)) ++line;
      if (line == lines.size()) {
        ++stray;
        continue;
      }
      ASSERT_TRUE(pixel == kGreen || pixel == kBlack) << std::hex << pixel << " at " << x << "," << y;
      if (pixel != kGreen) continue;
      Found& f = found[line];
      ++f.green;
      if (x + 1 < shown.width() && y + 1 < shown.height() && shown.pixel(x + 1, y + 1) == kBlack) {
        ++f.shadowed;
      }
      f.left = std::min(f.left, x);
      f.top = std::min(f.top, y);
    }
  }
  EXPECT_EQ(stray, 0) << "pixels changed outside the text lines";
  for (size_t line = 0; line < lines.size(); ++line) {
    SCOPED_TRACE("line " + std::to_string(line));
    EXPECT_GT(found[line].green, 100);
    EXPECT_GT(found[line].shadowed, 10);
    // Text hangs from its top-left corner: glyphs start just right of and
    // below the placement point.
    EXPECT_GE(found[line].left, lines[line].x);
    EXPECT_LE(found[line].left, lines[line].x + 4);
    EXPECT_GE(found[line].top, lines[line].y);
    EXPECT_LE(found[line].top, lines[line].y + 10);
  }
}

// 352 x 240 has a merge surface twice its height: right and bottom text
// is placed on the merge surface's edges, not mid-picture.
INSTANTIATE_TEST_SUITE_P(Positions, OsdTest,
                         ::testing::Values(OsdCase{0, 704, 576}, OsdCase{1, 704, 576}, OsdCase{2, 704, 576},
                                           OsdCase{3, 704, 576}, OsdCase{4, 704, 576}, OsdCase{5, 704, 576},
                                           OsdCase{2, 352, 240}, OsdCase{3, 352, 240},
                                           OsdCase{4, 352, 240}));

TEST_F(RenderTest, NullTextsDrawNothing) {
  render_.SetOsdPosition(1);
  ASSERT_EQ(render_.Init(&window_, 704, 576), 1);
  const std::vector<uint8_t> pixels = Picture(704, 576, 0x808080);
  ASSERT_EQ(render_.Draw(704, 576, pixels.data(), nullptr, nullptr, nullptr), 1);
  const QImage shown = Shown();
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 300; ++x) ASSERT_EQ(shown.pixel(x, y), kGrey) << x << "," << y;
  }
}

}  // namespace
