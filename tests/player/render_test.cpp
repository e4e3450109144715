#include "player/render.h"

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

namespace {

constexpr uint32_t kGrey = 0xFF808080;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlack = 0xFF000000;
constexpr int kFontHeight = 26;

const wchar_t kTitle[] = L"Camera 01";
const wchar_t kTime[] = L"2024/05/17 13:45:09";

// Pixels B, G, R, X as the decoders write them; X is left 0 on purpose.
std::vector<uint8_t> Picture(int width, int height, uint32_t rgb) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = rgb & 0xFF;
    pixels[i + 1] = rgb >> 8 & 0xFF;
    pixels[i + 2] = rgb >> 16 & 0xFF;
    pixels[i + 3] = 0;
  }
  return pixels;
}

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

struct MergeCase {
  int width, height, mergeWidth, mergeHeight;
};

class MergeSizeTest : public RenderTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(MergeSizeTest, PictureIsShownOnMergeSurfaceOfItsSize) {
  const MergeCase c = GetParam();
  ASSERT_EQ(render_.Init(&window_, c.width, c.height), 1);
  ASSERT_EQ(DrawPicture(c.width, c.height, 0x336699), 1);
  const QImage shown = Shown();
  EXPECT_EQ(shown.width(), c.mergeWidth);
  EXPECT_EQ(shown.height(), c.mergeHeight);
  // Stretching a plain picture keeps it plain.
  EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2), 0xFF336699u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MergeSizeTest,
                         ::testing::Values(MergeCase{352, 288, 720, 288}, MergeCase{352, 240, 720, 480},
                                           MergeCase{704, 240, 704, 480}, MergeCase{720, 288, 720, 576},
                                           MergeCase{704, 480, 704, 480}, MergeCase{176, 144, 720, 288},
                                           MergeCase{1280, 720, 1280, 720}, MergeCase{704, 288, 704, 576},
                                           MergeCase{360, 288, 720, 288}));

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

TEST(CalcOsdRectTest, PlacesOneLineAndClearsTheOther) {
  struct Case {
    int position, line, x, y;
  };
  // 704 x 480, font 26, 20 characters.
  const Case cases[] = {{1, 0, 5, 5},     {1, 1, 5, 33},   {2, 0, 404, 5},   {2, 1, 484, 33},
                        {3, 0, 5, 421},   {3, 1, 5, 449},  {4, 0, 404, 421}, {4, 1, 484, 449},
                        {0, 0, 0, 0},     {5, 1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("position " + std::to_string(c.position) + " line " + std::to_string(c.line));
    CQxRender render;
    render.SetOsdPosition(c.position);
    render.CalcOsdRect(1 - c.line, 704, 480, 26, 20);
    render.CalcOsdRect(c.line, 704, 480, 26, 20);
    const CQxRender::Point placed = c.line == 0 ? render.FirstLinePosition() : render.SecondLinePosition();
    const CQxRender::Point other = c.line == 0 ? render.SecondLinePosition() : render.FirstLinePosition();
    EXPECT_EQ(placed.x, c.x);
    EXPECT_EQ(placed.y, c.y);
    EXPECT_EQ(other.x, 0);
    EXPECT_EQ(other.y, 0);
  }
}

TEST_F(RenderTest, DrawBeforeInitAndAfterReleaseShowsNothing) {
  EXPECT_EQ(DrawPicture(352, 288), 0);
  EXPECT_EQ(render_.Repaint(), 1);
  EXPECT_TRUE(Shown().isNull());
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  render_.Release();
  render_.Release();
  EXPECT_EQ(DrawPicture(352, 288), 0);
  EXPECT_TRUE(Shown().isNull());
  // Usable again after a Release.
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  EXPECT_EQ(DrawPicture(352, 288), 1);
}

TEST_F(RenderTest, CallersPictureKeepsItsBytesAndTheShownOneIsOpaque) {
  ASSERT_EQ(render_.Init(&window_, 704, 576), 1);
  const std::vector<uint8_t> pixels = Picture(704, 576, 0x102030);
  const std::vector<uint8_t> before = pixels;
  ASSERT_EQ(render_.Draw(704, 576, pixels.data(), kTime, kTitle, nullptr), 1);
  EXPECT_EQ(pixels, before);
  const QImage shown = Shown();
  const uint8_t* row = shown.constScanLine(300);
  EXPECT_EQ(row[400 * 4 + 0], 0x30);
  EXPECT_EQ(row[400 * 4 + 1], 0x20);
  EXPECT_EQ(row[400 * 4 + 2], 0x10);
  EXPECT_EQ(row[400 * 4 + 3], 0xFF);
}

// Pictures that do not match Init's size: only what fits the picture
// surface is copied, and only what the caller handed over is read
// (AddressSanitizer guards both sides).
TEST_F(RenderTest, PictureOfAnotherSizeThanInitIsClipped) {
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  // Top-left 352 x 288 red, the rest blue: only red fits.
  const int bigWidth = 704, bigHeight = 576;
  std::vector<uint8_t> big = Picture(bigWidth, bigHeight, 0x0000FF);
  for (int y = 0; y < 288; ++y) {
    for (int x = 0; x < 352; ++x) {
      uint8_t* pixel = &big[(static_cast<size_t>(y) * bigWidth + x) * 4];
      pixel[0] = 0;     // blue
      pixel[2] = 0xFF;  // red
    }
  }
  ASSERT_EQ(render_.Draw(bigWidth, bigHeight, big.data(), kTime, kTitle, nullptr), 1);
  QImage shown = Shown();
  ASSERT_EQ(shown.size(), QSize(720, 288));
  EXPECT_EQ(shown.pixel(10, 280), 0xFFFF0000u);
  EXPECT_EQ(shown.pixel(710, 280), 0xFFFF0000u);

  // A smaller picture is stretched from its own corner of the surface.
  ASSERT_EQ(render_.Init(&window_, 704, 576), 1);
  const std::vector<uint8_t> small = Picture(176, 144, 0x00FF00);
  ASSERT_EQ(render_.Draw(176, 144, small.data(), kTime, kTitle, nullptr), 1);
  shown = Shown();
  ASSERT_EQ(shown.size(), QSize(704, 576));
  EXPECT_EQ(shown.pixel(352, 288), 0xFF00FF00u);
}

TEST_F(RenderTest, EmptyPictureIsRefused) {
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  const std::vector<uint8_t> pixels = Picture(352, 288, 0);
  EXPECT_EQ(render_.Draw(0, 288, pixels.data(), kTime, kTitle, nullptr), 0);
  EXPECT_EQ(render_.Draw(352, -1, pixels.data(), kTime, kTitle, nullptr), 0);
  EXPECT_EQ(render_.Draw(352, 288, nullptr, kTime, kTitle, nullptr), 0);
  EXPECT_TRUE(Shown().isNull());
}

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

struct InitFailure {
  const char* name;
  bool backend;
  bool window;
  int depth, overlay, width, height;
  bool negative;  // else 0
  const char* trace;
};

class InitFailureTest : public ::testing::TestWithParam<InitFailure> {};

TEST_P(InitFailureTest, IsReportedTracedAndLeavesDrawRefusing) {
  const InitFailure c = GetParam();
  platform::ScopedDisplayBackend backend(c.backend ? std::make_shared<platform::QtDisplayBackend>()
                                                   : nullptr);
  platform::QtVideoWidget window;
  std::string traces;
  platform::ScopedTraceSink sink([&](std::string_view text) { traces += text; });
  CQxRender render;
  render.SetOutputFormat(c.depth, c.overlay);
  const int result = render.Init(c.window ? &window : nullptr, c.width, c.height);
  if (c.negative) {
    EXPECT_LT(result, 0);
  } else {
    EXPECT_EQ(result, 0);
  }
  EXPECT_EQ(traces, c.trace);
  const std::vector<uint8_t> pixels(static_cast<size_t>(704) * 576 * 4);
  EXPECT_EQ(render.Draw(352, 288, pixels.data(), L"", L"", L""), 0);
  EXPECT_TRUE(window.CurrentPicture().isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, InitFailureTest,
    ::testing::Values(
        InitFailure{"NoDisplay", false, true, 32, 0, 352, 288, false, "failed to create DirectDrawCreateEx!!!\n"},
        InitFailure{"NoWindow", true, false, 32, 0, 352, 288, false, "failed to run SetCooperativeLevel!!!"},
        InitFailure{"Overlay", true, true, 32, 1, 352, 288, true,
                    "failed to create CreateSurface[m_pDDSVideo_D1]!!!\n"},
        InitFailure{"Depth16", true, true, 16, 0, 352, 288, true,
                    "failed to create CreateSurface[m_pDDSVideo_D1]!!!\n"},
        InitFailure{"EmptySize", true, true, 32, 0, 0, 288, true,
                    "failed to create CreateSurface[m_pDDSVideo_D1]!!!\n"}),
    [](const ::testing::TestParamInfo<InitFailure>& info) { return std::string(info.param.name); });

// A device whose second surface (the merge surface) cannot be had.
class MergeSurfaceFails : public platform::DisplayBackend {
 public:
  std::unique_ptr<platform::DisplayDevice> CreateDevice() override {
    return std::make_unique<Device>(platform::QtDisplayBackend().CreateDevice());
  }

 private:
  class Device : public platform::DisplayDevice {
   public:
    explicit Device(std::unique_ptr<platform::DisplayDevice> real) : real_(std::move(real)) {}
    int32_t SetCooperativeLevel(platform::VideoWindow* window) override {
      return real_->SetCooperativeLevel(window);
    }
    int32_t CreateWindowSurface(std::unique_ptr<platform::WindowSurface>& out) override {
      return real_->CreateWindowSurface(out);
    }
    int32_t CreateSurface(int width, int height, const platform::SurfacePixelFormat* format,
                          std::unique_ptr<platform::Surface>& out) override {
      if (++surfaces_ == 2) return platform::SurfaceResult::kOutOfMemory;
      return real_->CreateSurface(width, height, format, out);
    }
    std::unique_ptr<platform::Font> CreateFont(const platform::FontSpec& spec) override {
      return real_->CreateFont(spec);
    }

   private:
    std::unique_ptr<platform::DisplayDevice> real_;
    int surfaces_ = 0;
  };
};

TEST(RenderInitTest, MissingMergeSurfaceIsReportedAndDrawRefuses) {
  platform::ScopedDisplayBackend backend(std::make_shared<MergeSurfaceFails>());
  platform::QtVideoWidget window;
  std::string traces;
  platform::ScopedTraceSink sink([&](std::string_view text) { traces += text; });
  CQxRender render;
  EXPECT_EQ(render.Init(&window, 352, 288), platform::SurfaceResult::kOutOfMemory);
  EXPECT_EQ(traces, "failed to create CreateSurface[m_pDDSMergeImage]!!!\n");
  const std::vector<uint8_t> pixels = Picture(352, 288, 0);
  EXPECT_EQ(render.Draw(352, 288, pixels.data(), L"", L"", L""), 0);
  EXPECT_TRUE(window.CurrentPicture().isNull());
}

}  // namespace
