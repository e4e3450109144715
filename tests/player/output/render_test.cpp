// The renderer on the memory display back end: no window system needed.
#include "player/output/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/memory_display.h"
#include "platform/trace.h"
#include "tests/player/output/render_test_pictures.h"

namespace {

using namespace render_test;

// The pixel as 0xAARRGGBB, read from the bytes B, G, R, X.
uint32_t Pixel(const platform::MemoryPicture& picture, int x, int y) {
  const uint8_t* p = picture.pixels.data() + (static_cast<size_t>(y) * picture.width + x) * 4;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool IsNull(const platform::MemoryPicture& picture) { return picture.pixels.empty(); }

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() : backend_(std::make_shared<platform::MemoryDisplayBackend>()) {}

  int DrawPicture(int width, int height, uint32_t rgb = 0x808080) {
    const std::vector<uint8_t> pixels = Picture(width, height, rgb);
    return render_.Draw(width, height, pixels.data(), kTime, kTitle, L"FPS: 25/s");
  }

  platform::MemoryPicture Shown() const { return window_.Picture(); }

  platform::ScopedDisplayBackend backend_;
  platform::MemoryVideoWindow window_;
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
  const platform::MemoryPicture shown = Shown();
  EXPECT_EQ(shown.width, c.mergeWidth);
  EXPECT_EQ(shown.height, c.mergeHeight);
  // Stretching a plain picture keeps it plain.
  EXPECT_EQ(Pixel(shown, shown.width / 2, shown.height / 2), 0xFF336699u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MergeSizeTest,
                         ::testing::Values(MergeCase{352, 288, 720, 288}, MergeCase{352, 240, 720, 480},
                                           MergeCase{704, 240, 704, 480}, MergeCase{720, 288, 720, 576},
                                           MergeCase{704, 480, 704, 480}, MergeCase{176, 144, 720, 288},
                                           MergeCase{1280, 720, 1280, 720}, MergeCase{704, 288, 704, 576},
                                           MergeCase{360, 288, 720, 288}));

// Where the layout puts the two text lines, as the renderer hands them to
// the surface: the title, then the time, each shadow first.  (How the text
// looks is the window back end's: see render_text_qt_test.cpp.)
TEST_F(RenderTest, TextsGoWhereTheLayoutPutsThem) {
  render_.SetOsdPosition(4);
  ASSERT_EQ(render_.Init(&window_, 352, 240), 1);
  ASSERT_EQ(DrawPicture(352, 240), 1);
  const std::vector<platform::DrawnText> texts = window_.Texts();
  ASSERT_EQ(texts.size(), 4u);
  // The merge surface is 720 x 480; titles get 15 pixels a character, times 11.
  const int title = 15 * static_cast<int>(std::wcslen(kTitle)), time = 11 * static_cast<int>(std::wcslen(kTime));
  const struct {
    int x, y;
    const wchar_t* text;
    uint8_t green;
  } expected[] = {{720 - title + 1, 480 - 2 * kFontHeight - 7 + 1, kTitle, 0},
                  {720 - title, 480 - 2 * kFontHeight - 7, kTitle, 0xFF},
                  {720 - time + 1, 480 - kFontHeight - 5 + 1, kTime, 0},
                  {720 - time, 480 - kFontHeight - 5, kTime, 0xFF}};
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(texts[i].x, expected[i].x);
    EXPECT_EQ(texts[i].y, expected[i].y);
    EXPECT_EQ(texts[i].text, expected[i].text);
    EXPECT_EQ(texts[i].colour.green, expected[i].green);
    EXPECT_EQ(texts[i].colour.red, 0);
  }
  // Off: no text at all.
  render_.SetOsdPosition(0);
  ASSERT_EQ(DrawPicture(352, 240), 1);
  EXPECT_TRUE(window_.Texts().empty());
}

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
  EXPECT_TRUE(IsNull(Shown()));
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  render_.Release();
  render_.Release();
  EXPECT_EQ(DrawPicture(352, 288), 0);
  EXPECT_TRUE(IsNull(Shown()));
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
  const platform::MemoryPicture shown = Shown();
  const uint8_t* row = shown.pixels.data() + size_t{300} * shown.width * 4;
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
  platform::MemoryPicture shown = Shown();
  ASSERT_EQ(shown.width, 720);
  ASSERT_EQ(shown.height, 288);
  EXPECT_EQ(Pixel(shown, 10, 280), 0xFFFF0000u);
  EXPECT_EQ(Pixel(shown, 710, 280), 0xFFFF0000u);

  // A smaller picture is stretched from its own corner of the surface.
  ASSERT_EQ(render_.Init(&window_, 704, 576), 1);
  const std::vector<uint8_t> small = Picture(176, 144, 0x00FF00);
  ASSERT_EQ(render_.Draw(176, 144, small.data(), kTime, kTitle, nullptr), 1);
  shown = Shown();
  ASSERT_EQ(shown.width, 704);
  ASSERT_EQ(shown.height, 576);
  EXPECT_EQ(Pixel(shown, 352, 288), 0xFF00FF00u);
}

TEST_F(RenderTest, EmptyPictureIsRefused) {
  ASSERT_EQ(render_.Init(&window_, 352, 288), 1);
  const std::vector<uint8_t> pixels = Picture(352, 288, 0);
  EXPECT_EQ(render_.Draw(0, 288, pixels.data(), kTime, kTitle, nullptr), 0);
  EXPECT_EQ(render_.Draw(352, -1, pixels.data(), kTime, kTitle, nullptr), 0);
  EXPECT_EQ(render_.Draw(352, 288, nullptr, kTime, kTitle, nullptr), 0);
  EXPECT_TRUE(IsNull(Shown()));
}

TEST_F(RenderTest, NullTextsDrawNothing) {
  render_.SetOsdPosition(1);
  ASSERT_EQ(render_.Init(&window_, 704, 576), 1);
  const std::vector<uint8_t> pixels = Picture(704, 576, 0x808080);
  ASSERT_EQ(render_.Draw(704, 576, pixels.data(), nullptr, nullptr, nullptr), 1);
  for (const platform::DrawnText& text : window_.Texts()) EXPECT_TRUE(text.text.empty());
  const platform::MemoryPicture shown = Shown();
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 300; ++x) ASSERT_EQ(Pixel(shown, x, y), kGrey) << x << "," << y;
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
  platform::ScopedDisplayBackend backend(c.backend ? std::make_shared<platform::MemoryDisplayBackend>()
                                                   : nullptr);
  platform::MemoryVideoWindow window;
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
  EXPECT_TRUE(IsNull(window.Picture()));
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
    return std::make_unique<Device>(platform::MemoryDisplayBackend().CreateDevice());
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
  platform::MemoryVideoWindow window;
  std::string traces;
  platform::ScopedTraceSink sink([&](std::string_view text) { traces += text; });
  CQxRender render;
  EXPECT_EQ(render.Init(&window, 352, 288), platform::SurfaceResult::kOutOfMemory);
  EXPECT_EQ(traces, "failed to create CreateSurface[m_pDDSMergeImage]!!!\n");
  const std::vector<uint8_t> pixels = Picture(352, 288, 0);
  EXPECT_EQ(render.Draw(352, 288, pixels.data(), L"", L"", L""), 0);
  EXPECT_TRUE(IsNull(window.Picture()));
}

}  // namespace
