// Every mode over tiny and large sources, source sizes changing under each
// layout, hostile settings and random mouse input: nothing may read or
// write outside its buffers (run under AddressSanitizer and UBSan).
#include <gtest/gtest.h>

#include <random>

#include "dewarp/fisheye_view.h"
#include "tests/dewarp/coordinate_card.h"

namespace {

void RandomMouse(FisheyeView& view, std::mt19937& random, uint32_t& now) {
  std::uniform_int_distribution<int> any(-3000, 3000);
  const int messages[] = {kDewarpMouseMove, kDewarpButtonDown, kDewarpButtonUp, kDewarpWheel, 0};
  for (int i = 0; i < 40; ++i) {
    now += static_cast<uint32_t>(random() % 150);
    const int w = i % 5 == 0 ? 0 : any(random);
    const int h = i % 7 == 0 ? 0 : any(random);
    view.OnDewarpMouse(messages[random() % 5], any(random), any(random), any(random), w, h);
  }
  view.OnDewarpMouse(kDewarpMouseMove, 0, INT32_MAX, INT32_MIN, 1, 1);
  view.OnDewarpMouse(kDewarpButtonDown, 0, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX);
  view.OnDewarpMouse(kDewarpWheel, INT32_MIN, 0, 0, 1, 1);
  view.RestoreSingleViewSize();
}

void CheckComposite(const FisheyeView& view) {
  const uint32_t* pixels = view.GetViewOutputBuffer();
  const size_t n = static_cast<size_t>(view.GetViewOutputWidth()) * view.GetViewOutputHeight();
  if (!pixels) return;
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += pixels[i];  // every pixel readable
  (void)sum;
}

struct SizeChange {
  int from, to;
};

TEST(DewarpHostileInput, EveryModeOverSizesAndSizeChanges) {
  const SizeChange changes[] = {{1, 2}, {2, 3}, {3, 17}, {17, 1356}, {1356, 2048}, {2048, 17}};
  // Small perspective tiles keep the sweep quick; the panorama and wall
  // tiles follow the source size.
  DewarpSettings settings;
  settings.w1R = 160;
  settings.h1R = 120;
  settings.w1Rmov = 80;
  settings.h1Rmov = 60;
  settings.w4R = 128;
  settings.h4R = 96;
  std::mt19937 random(17);
  for (const SizeChange& c : changes) {
    const std::vector<uint32_t> first = MakeCoordinateCard(c.from);
    const std::vector<uint32_t> second = MakeCoordinateCard(c.to);
    for (int mode = -1; mode <= 27; ++mode) {
      SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << " mode " << mode);
      uint32_t now = 0;
      FisheyeView view(settings, [&now] { return now; });
      view.SetViewMode(0);
      view.ComposeFisheyeView(first.data(), c.from, c.from, 0);
      view.SetViewMode(mode);
      view.ComposeFisheyeView(first.data(), c.from, c.from, 0);
      view.DrawSelectionBorder();
      CheckComposite(view);
      RandomMouse(view, random, now);
      view.ComposeFisheyeView(second.data(), c.to, c.to, 0);
      view.DrawSelectionBorder();
      CheckComposite(view);
      view.ForgetSource();
      CheckComposite(view);
    }
  }
}

TEST(DewarpHostileInput, HostileSettings) {
  const char* texts[] = {
      "[center_param]\ncenterX=0\ncenterY=0\nradius=0\n[viewmode_param]\nratio=0\ncut=0\nw1R=0\nw4R=0\n"
      "MoveSensitivity=0\nWheelSensitivity=0\n",
      "[center_param]\ncenterX=-1\ncenterY=-5000\nradius=-1\n[viewmode_param]\nratio=-2\ncut=-1\nh1R=-1\n",
      "[center_param]\ncenterX=65535\nradius=65535\n[viewmode_param]\nratio=65535\ncut=65535\nw1R=65535\n"
      "h4R=65535\nMoveSensitivity=65535\nWheelSensitivity=65535\n",
      "[lens_param]\na0=nan\na1=nan\na2=-nan\na3=inf\n",
      "[lens_param]\na0=1e308\na1=1e308\na2=-1e308\na3=1e308\na4=1e308\na5=-1e308\n",
      "[center_param]\ncenterX=10000\ncenterY=0\nradius=10000\n[viewmode_param]\nratio=1\ncut=3\nw1R=16\nh1R=16\n",
  };
  const std::vector<uint32_t> card = MakeCoordinateCard(96);
  std::mt19937 random(5);
  for (const char* text : texts) {
    DewarpSettings settings;
    LoadDewarpSettingsFromText(&settings, text);
    for (int mode = -1; mode <= 27; ++mode) {
      SCOPED_TRACE(testing::Message() << text << " mode " << mode);
      uint32_t now = 0;
      FisheyeView view(settings, [&now] { return now; });
      view.SetViewMode(0);
      view.ComposeFisheyeView(card.data(), 96, 96, 0);
      view.SetViewMode(mode);
      view.ComposeFisheyeView(card.data(), 96, 96, 0);
      view.DrawSelectionBorder();
      RandomMouse(view, random, now);
      view.ComposeFisheyeView(card.data(), 96, 96, 0);
      view.DrawSelectionBorder();
      CheckComposite(view);
      EXPECT_GE(view.ViewModeWidth(mode), 0);
      EXPECT_GE(view.ViewModeHeight(mode), 0);
    }
  }
}

TEST(DewarpHostileInput, WildLensShowsBlack) {
  DewarpSettings settings;
  LoadDewarpSettingsFromText(&settings, "[lens_param]\na0=1e308\na1=1e308\n");
  FisheyeView view(settings);
  const std::vector<uint32_t> card = MakeCoordinateCard(64);
  view.SetViewMode(0);
  view.ComposeFisheyeView(card.data(), 64, 64, 0);
  view.SetViewMode(1);
  view.ComposeFisheyeView(card.data(), 64, 64, 0);
  ASSERT_EQ(view.GetViewOutputWidth(), 960);
  const uint32_t* pixels = view.GetViewOutputBuffer();
  for (size_t i = 0; i < 960u * 720u; i += 997) EXPECT_EQ(pixels[i], 0u);
}

}  // namespace
