// The view manager: layouts and their sizes, the selection border, tiles
// picked by the mouse, drags, the wheel and snapshots.
#include <gtest/gtest.h>

#include <cstring>

#include "dewarp/fisheye_view.h"
#include "tests/dewarp/coordinate_card.h"

namespace {

class FisheyeViewTest : public ::testing::Test {
 protected:
  FisheyeViewTest() : view_(settings_, [this] { return now_; }) {}

  void Compose(int size) {
    card_ = MakeCoordinateCard(size);
    view_.ComposeFisheyeView(card_.data(), size, size, 0);
  }
  // As the video box does: the raw picture first, then the mode.
  void Show(int mode, int size) {
    view_.SetViewMode(0);
    Compose(size);
    view_.SetViewMode(mode);
    Compose(size);
    view_.DrawSelectionBorder();
  }
  uint32_t At(int x, int y) const {
    return view_.GetViewOutputBuffer()[static_cast<size_t>(y) * view_.GetViewOutputWidth() + x];
  }

  DewarpSettings settings_;
  uint32_t now_ = 1000;
  std::vector<uint32_t> card_;
  FisheyeView view_;
};

TEST_F(FisheyeViewTest, CompositeSizes) {
  struct Case {
    int mode, width, height;
  };
  const Case cases[] = {{0, 1080, 1080}, {1, 960, 720}, {2, 424, 540},  {13, 424, 540},  {4, 848, 540},
                        {16, 848, 540},  {7, 1280, 960}, {26, 1280, 960}, {22, 540, 360}, {27, 1080, 1080}};
  for (const Case& c : cases) {
    Show(c.mode, 1080);
    EXPECT_EQ(view_.GetViewOutputWidth(), c.width) << c.mode;
    EXPECT_EQ(view_.GetViewOutputHeight(), c.height) << c.mode;
    EXPECT_EQ(view_.ViewModeWidth(c.mode), c.width) << c.mode;
    EXPECT_EQ(view_.ViewModeHeight(c.mode), c.height) << c.mode;
  }
}

TEST_F(FisheyeViewTest, RawModesShowTheSource) {
  for (const int mode : {0, 27, 100}) {
    Show(mode, 64);
    ASSERT_EQ(view_.GetViewOutputWidth(), 64);
    EXPECT_EQ(view_.GetViewOutputBuffer(), card_.data()) << mode;
  }
  view_.ForgetSource();
  EXPECT_EQ(view_.GetViewOutputBuffer(), nullptr);
  EXPECT_EQ(view_.GetViewOutputWidth(), 0);
  view_.SetViewMode(-1);
  Compose(64);
  EXPECT_EQ(view_.GetViewOutputBuffer(), nullptr);
}

TEST_F(FisheyeViewTest, TilesArePlacedByTheLayout) {
  Show(4, 1080);  // 360: two perspective tiles over the strip
  const CardPoint strip = ReadCardPixel(At(10, 540 - 1), 1080);  // bottom row: the rim
  EXPECT_FALSE(strip.black());
  const CardPoint left = ReadCardPixel(At(212, 135), 1080);
  const CardPoint right = ReadCardPixel(At(424 + 212, 135), 1080);
  ASSERT_FALSE(left.black());
  ASSERT_FALSE(right.black());
  // Pans 45 and 225 look to opposite quarters of the circle.
  EXPECT_GT(left.x, 540);
  EXPECT_GT(left.y, 540);
  EXPECT_LT(right.x, 540);
  EXPECT_LT(right.y, 540);
}

TEST_F(FisheyeViewTest, SelectionBorder) {
  Show(7, 1080);
  const uint32_t border = 0x00FFE080;
  EXPECT_EQ(At(0, 100), border);
  EXPECT_EQ(At(5, 100), border);
  EXPECT_NE(At(6, 100), border);
  EXPECT_EQ(At(639, 100), border);
  EXPECT_EQ(At(634, 100), border);
  EXPECT_NE(At(640, 100), border);

  settings_.w4R = 150;
  settings_.h4R = 100;
  view_.SetViewMode(0);
  Show(10, 1080);
  ASSERT_EQ(view_.GetViewOutputWidth(), 300);
  EXPECT_EQ(At(150, 150), border);
  EXPECT_EQ(At(151, 150), border);
  EXPECT_NE(At(152, 150), border);
}

// Each mode's tile: its rectangle, the border around it, the point that
// hits it, and the size the wheel re-renders a perspective tile at.
TEST_F(FisheyeViewTest, TileOfEveryMode) {
  enum Tile { kWhole, kTop, kBottom, kTopLeft, kTopRight, kBottomLeft, kBottomRight };
  struct ModeTile {
    int mode;
    Tile tile;
    int subView;
    bool perspective;
  };
  const ModeTile modes[] = {
      {0, kWhole, 0, false},        {1, kWhole, 0, true},         {2, kTop, 0, false},
      {3, kBottom, 1, false},       {4, kTopLeft, 0, true},       {5, kTopRight, 1, true},
      {6, kBottom, 2, false},       {7, kTopLeft, 0, true},       {8, kTopRight, 1, true},
      {9, kBottomLeft, 2, true},    {10, kBottomRight, 3, true},  {11, kWhole, 0, true},
      {12, kTop, 0, false},         {13, kBottom, 1, false},      {14, kTopLeft, 0, true},
      {15, kTopRight, 1, true},     {16, kBottom, 2, false},      {17, kTopLeft, 0, true},
      {18, kTopRight, 1, true},     {19, kBottomLeft, 2, true},   {20, kBottomRight, 3, true},
      {21, kWhole, 0, true},        {22, kWhole, 0, false},       {23, kTopLeft, 0, true},
      {24, kTopRight, 1, true},     {25, kBottomLeft, 2, true},   {26, kBottomRight, 3, true},
  };
  const uint32_t border = 0x00FFE080;
  for (const ModeTile& m : modes) {
    SCOPED_TRACE("mode " + std::to_string(m.mode));
    Show(m.mode, 512);
    const int W = view_.GetViewOutputWidth(), H = view_.GetViewOutputHeight();
    ASSERT_GT(W, 0);
    const int left = m.tile == kTopRight || m.tile == kBottomRight ? W / 2 : 0;
    const int right = m.tile == kTopLeft || m.tile == kBottomLeft ? W / 2 : W;
    const int top = m.tile == kBottom || m.tile == kBottomLeft || m.tile == kBottomRight ? H / 2 : 0;
    const int bottom = m.tile == kTop || m.tile == kTopLeft || m.tile == kTopRight ? H / 2 : H;
    const SubViewRect r = view_.GetSubViewRect();
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);

    const int midX = (left + right) / 2, midY = (top + bottom) / 2;
    EXPECT_EQ(view_.HitTestSubView(midX, midY), m.subView);
    EXPECT_EQ(view_.SelectedSubView(), m.subView);
    const bool bordered = m.mode != 0 && m.mode != 1 && m.mode != 11 && m.mode != 21 && m.mode != 22;
    // The border runs along the inside of the tile's four sides.
    EXPECT_EQ(At(left, midY) == border, bordered);
    EXPECT_EQ(At(right - 1, midY) == border, bordered);
    EXPECT_EQ(At(midX, top) == border, bordered);
    EXPECT_EQ(At(midX, bottom - 1) == border, bordered);
    // and stops there.
    EXPECT_FALSE(left > 0 && At(left - 1, midY) == border);
    EXPECT_FALSE(right < W && At(right, midY) == border);
    EXPECT_FALSE(top > 0 && At(midX, top - 1) == border);
    EXPECT_FALSE(bottom < H && At(midX, bottom) == border);

    // A wheel turn (mode 0's, the first, only starts the clock): a
    // perspective tile zooms in and is drawn again at its rectangle's size.
    now_ += 100;
    EXPECT_EQ(view_.OnDewarpMouse(kDewarpWheel, 120, midX, midY, W, H), m.perspective);
    if (!m.perspective) continue;
    EXPECT_EQ(view_.GetChannelPtz(m.subView)[2], 115);
    Compose(512);
    std::vector<uint8_t> bmp;
    ASSERT_EQ(view_.SnapshotChannel(m.subView, L"tile.jpg",
                                    [&](std::span<const uint8_t> image, const std::wstring&) {
                                      bmp.assign(image.begin(), image.end());
                                      return true;
                                    }),
              1);
    ASSERT_GE(bmp.size(), 26u);
    int32_t width, height;
    std::memcpy(&width, bmp.data() + 18, 4);
    std::memcpy(&height, bmp.data() + 22, 4);
    EXPECT_EQ(width, right - left);
    EXPECT_EQ(-height, bottom - top);
  }
}

TEST_F(FisheyeViewTest, ClickSelectsTheTile) {
  Show(7, 1080);
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 700, 100, 1280, 960);
  EXPECT_EQ(view_.GetViewMode(), 8);
  EXPECT_EQ(view_.SelectedSubView(), 1);
  // A client area of another size maps onto the composite.
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 100, 400, 640, 480);
  EXPECT_EQ(view_.GetViewMode(), 9);
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 100, 400, 0, 480);  // no client area: ignored
  EXPECT_EQ(view_.GetViewMode(), 9);
}

TEST_F(FisheyeViewTest, ModeChangeSelectsItsTile) {
  Show(10, 512);
  EXPECT_EQ(view_.SelectedSubView(), 3);
  view_.SetViewMode(1);
  EXPECT_EQ(view_.SelectedSubView(), 0);
  Compose(512);
  now_ += 1000;
  view_.OnDewarpMouse(kDewarpWheel, 120, 10, 10, 100, 100);
  now_ += 1000;
  view_.OnDewarpMouse(kDewarpWheel, 120, 10, 10, 100, 100);
  EXPECT_EQ(view_.GetChannelPtz(0)[2], 115);
}

TEST_F(FisheyeViewTest, DragPansTheSingleView) {
  Show(1, 512);
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 100, 100, 960, 720);
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 100, 100, 960, 720);  // starts the clock
  now_ += 50;
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 140, 100, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[0], 90);  // within 100 ms: nothing
  now_ += 50;
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 140, 100, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[0], 100);
  now_ += 100;
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 143, 100, 960, 720);  // less than a degree: dropped
  now_ += 100;
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 146, 100, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[0], 100);
  Compose(512);
  // The drag made the moving size; the timer's restore brings back the full one.
  EXPECT_EQ(view_.GetViewOutputWidth(), 640);
  EXPECT_EQ(view_.RestoreSingleViewSize(), 1);
  Compose(512);
  EXPECT_EQ(view_.GetViewOutputWidth(), 960);
  EXPECT_EQ(view_.GetChannelPtz(0)[0], 100);
}

TEST_F(FisheyeViewTest, WallDragStopsAtItsLimits) {
  Show(23, 512);
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 10, 10, 1280, 960);
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 10, 10, 1280, 960);
  for (int step = 1; step <= 3; ++step) {
    now_ += 100;
    view_.OnDewarpMouse(kDewarpMouseMove, 0, 10 + step * 200, 10 + step * 150, 1280, 960);
    if (step == 3) break;
  }
  // The pointer left tile 0 at the third step: dragging ended there.
  const auto ptz = view_.GetChannelPtz(0);
  EXPECT_EQ(ptz[0], 75);
  EXPECT_EQ(ptz[1], 60);
  EXPECT_EQ(view_.RestoreSingleViewSize(), 0);
}

TEST_F(FisheyeViewTest, WheelZoomsAfterTheFirstTurn) {
  Show(11, 512);
  view_.OnDewarpMouse(kDewarpWheel, 120, 0, 0, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[2], 120);
  now_ += 99;
  view_.OnDewarpMouse(kDewarpWheel, 120, 0, 0, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[2], 120);
  for (int turn = 0; turn < 20; ++turn) {
    now_ += 100;
    view_.OnDewarpMouse(kDewarpWheel, 120, 0, 0, 960, 720);
  }
  EXPECT_EQ(view_.GetChannelPtz(0)[2], 40);
  now_ += 100;
  view_.OnDewarpMouse(kDewarpWheel, -240, 0, 0, 960, 720);
  EXPECT_EQ(view_.GetChannelPtz(0)[2], 50);
}

TEST_F(FisheyeViewTest, DualDragTurnsBothHalves) {
  Show(2, 512);
  view_.OnDewarpMouse(kDewarpButtonDown, 0, 10, 10, 200, 256);
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 10, 10, 200, 256);
  now_ += 100;
  view_.OnDewarpMouse(kDewarpMouseMove, 0, 50, 10, 200, 256);
  Compose(512);
  // Turned by 10 degrees: the top half's first column now starts at 10.
  DewarpChannel reference;
  PanoramaCommand p;
  p.start = 10;
  p.span = 180;
  reference.SetPanorama(p);
  ProcessDewarpFrame(reference, card_.data(), 512, 512, 0);
  reference.ReadOutput([&](const uint32_t* tile, int w, int) { EXPECT_EQ(At(0, 100), tile[100 * w]); });
}

TEST_F(FisheyeViewTest, SnapshotOfTheSelectedTile) {
  Show(8, 512);
  std::vector<uint8_t> saved;
  const auto save = [&](std::span<const uint8_t> bmp, const std::wstring&) {
    saved.assign(bmp.begin(), bmp.end());
    return true;
  };
  EXPECT_EQ(view_.SnapshotChannel(4, L"a.jpg", save), -1);
  EXPECT_TRUE(saved.empty());
  ASSERT_EQ(view_.SnapshotChannel(1, L"a.jpg", save), 1);
  ASSERT_EQ(saved.size(), 54u + 640 * 480 * 4);
  uint32_t first;
  std::memcpy(&first, saved.data() + 54 + 4 * (100 * 640 + 20), 4);
  EXPECT_EQ(first, At(640 + 20, 100));
}

}  // namespace
