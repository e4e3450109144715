// Closed forms of the lens model and the projections, and the table and
// engine rules that a stale or oversized table would break.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dewarp/dewarp_channel.h"
#include "dewarp/dewarp_engine.h"
#include "dewarp/fisheye_view.h"
#include "dewarp/remap_builders.h"
#include "tests/dewarp/coordinate_card.h"

namespace {

TEST(LensPolynomial, EquidistantLensAndSign) {
  EXPECT_DOUBLE_EQ(EvalLensPolynomial(kEquidistantLens, std::numbers::pi / 2), 1.0);
  EXPECT_DOUBLE_EQ(EvalLensPolynomial(kEquidistantLens, -std::numbers::pi / 2), -1.0);
  const LensCoefficients a = {0.25, 1, 2, 3, 4, 5};
  EXPECT_DOUBLE_EQ(EvalLensPolynomial(a, 0.0), 0.25);
  EXPECT_DOUBLE_EQ(EvalLensPolynomial(a, 1.0), 0.25 + 15);
  EXPECT_DOUBLE_EQ(EvalLensPolynomial(a, -1.0), 0.25 - 15);
  // Away from 0 and 1 each coefficient weighs differently: every term is
  // in its place.
  for (const LensCoefficients& lens : {a, LensCoefficients{0.01, 0.39896, 0.015511, 0.081442, -0.018715, 0.0037}}) {
    for (const double theta : {0.5, 1.3, 2.1}) {
      double sum = 0;
      for (int k = 1; k <= 5; ++k) sum += lens[k] * std::pow(theta, k);
      EXPECT_NEAR(EvalLensPolynomial(lens, theta), lens[0] + sum, 1e-12 * sum) << theta;
      EXPECT_NEAR(EvalLensPolynomial(lens, -theta), lens[0] - sum, 1e-12 * sum) << -theta;
    }
  }
}

// Where a desk camera's perspective view looks, worked out from the
// geometry: the lens axis is z, azimuths grow from source x towards source
// y, tilt is the view centre's elevation above the plane across the axis.
// Output pixel (i, j) of a w-wide view is the ray f F + u R + v D with
// u = 2i/w - 1, v = 2j/w - 1, f = 1/tan(zoom/2), F the view centre, R to
// its right and D downwards.  The ray lands where the lens polynomial puts
// its angle from the axis.
struct SourcePosition {
  double x, y, theta;
};

SourcePosition DeskViewRay(const DewarpSettings& s, int source, int w, int i, int j, double pan, double tilt,
                           double zoom) {
  const double degree = std::numbers::pi / 180;
  const double P = pan * degree, T = tilt * degree;
  const double f = 1 / std::tan(zoom * degree / 2);
  const double u = 2.0 * i / w - 1, v = 2.0 * j / w - 1;
  const double F[3] = {std::cos(T) * std::cos(P), std::cos(T) * std::sin(P), std::sin(T)};
  const double R[3] = {std::sin(P), -std::cos(P), 0};
  const double D[3] = {std::sin(T) * std::cos(P), std::sin(T) * std::sin(P), -std::cos(T)};
  double ray[3];
  for (int k = 0; k < 3; ++k) ray[k] = f * F[k] + u * R[k] + v * D[k];
  const double length = std::sqrt(ray[0] * ray[0] + ray[1] * ray[1] + ray[2] * ray[2]);
  const double theta = std::acos(ray[2] / length);
  const double landing = s.a0 + s.a1 * theta + s.a2 * std::pow(theta, 2) + s.a3 * std::pow(theta, 3) +
                         s.a4 * std::pow(theta, 4) + s.a5 * std::pow(theta, 5);
  const double phi = std::atan2(ray[1], ray[0]);
  const double r = landing * source / 2;
  return {source / 2.0 + r * std::cos(phi), source / 2.0 + r * std::sin(phi), theta};
}

TEST(PtzView, DefaultLensFollowsTheCameraGeometry) {
  const DewarpSettings& settings = DefaultDewarpSettings();
  const int source = 1080;
  const std::vector<uint32_t> card = MakeCoordinateCard(source);
  FisheyeView view(settings);
  view.SetViewMode(0);
  view.ComposeFisheyeView(card.data(), source, source, 0);
  view.SetViewMode(7);  // the desk quad: four 640 x 480 views at tilt 30, zoom 120
  view.ComposeFisheyeView(card.data(), source, source, 0);
  ASSERT_EQ(view.GetViewOutputWidth(), 1280);
  ASSERT_EQ(view.GetViewOutputHeight(), 960);
  const int pans[4] = {225, 315, 135, 45};
  int inside = 0;
  double widest = 0;
  for (int tile = 0; tile < 4; ++tile) {
    for (const int i : {0, 160, 320, 480, 639}) {
      for (const int j : {0, 120, 240, 360, 479}) {
        const SourcePosition p = DeskViewRay(settings, source, 640, i, j, pans[tile], 30, 120);
        const int x = (tile % 2) * 640 + i, y = (tile / 2) * 480 + j;
        const CardPoint shown = ReadCardPixel(view.GetViewOutputBuffer()[y * 1280 + x], source);
        SCOPED_TRACE("tile " + std::to_string(tile) + " pixel " + std::to_string(i) + "," + std::to_string(j) +
                     ": the ray lands at " + std::to_string(p.x) + "," + std::to_string(p.y));
        const bool within = p.x >= 1 && p.y >= 1 && p.x < source - 1 && p.y < source - 1;
        if (!within) {
          if (p.x < -1 || p.y < -1 || p.x > source + 1 || p.y > source + 1) {
            EXPECT_TRUE(shown.black());
          }
          continue;
        }
        ++inside;
        widest = std::max(widest, p.theta);
        ASSERT_FALSE(shown.black());
        EXPECT_NEAR(shown.x, p.x, 1);
        EXPECT_NEAR(shown.y, p.y, 1);
      }
    }
  }
  // Rays far from the axis, where the higher terms of the polynomial count.
  EXPECT_GT(inside, 60);
  EXPECT_GT(widest, 1.4);
}

// The view axis sits at row outW / 2 whatever the height.
SourcePoint AxisPoint(int pan, int tilt, bool wall, int src) {
  RemapTable tall;
  BuildPtzTable(src, src, 64, 64, static_cast<float>(pan), static_cast<float>(tilt), 120.0f, kEquidistantLens,
                wall, &tall);
  SourcePoint p;
  EXPECT_TRUE(tall.Get(32, 32, &p));
  return p;
}

TEST(PtzTable, AxisRayLandsOnTheLensCentre) {
  for (const int pan : {0, 90, 200}) {
    const SourcePoint p = AxisPoint(pan, 90, false, 400);
    EXPECT_EQ(p.x, 200) << pan;
    EXPECT_EQ(p.y, 200) << pan;
  }
  const SourcePoint wall = AxisPoint(0, 0, true, 400);
  EXPECT_EQ(wall.x, 200);
  EXPECT_EQ(wall.y, 200);
}

TEST(PtzTable, HorizonRayLandsOnTheCircleEdge) {
  // Pan 180 looks towards x = 0; pan 270 towards y = 0 (angles grow towards +y).
  SourcePoint p = AxisPoint(180, 0, false, 400);
  EXPECT_NEAR(p.x, 0, 1);
  EXPECT_NEAR(p.y, 200, 1);
  p = AxisPoint(270, 0, false, 400);
  EXPECT_NEAR(p.x, 200, 1);
  EXPECT_NEAR(p.y, 0, 1);
}

TEST(RemapTable, EmptyTablesAndOutsidePoints) {
  RemapTable t;
  EXPECT_FALSE(t.Create(8, 8, 0, 4));
  int w = -7, h = -7;
  t.Size(&w, &h);
  EXPECT_EQ(w, -7);
  ASSERT_TRUE(t.Create(4, 4, 2, 1));
  EXPECT_TRUE(t.Set(0, 0, 3, 3));
  EXPECT_TRUE(t.Set(1, 0, 4, 0));  // outside: kept, and black
  EXPECT_FALSE(t.Set(2, 0, 0, 0));
  SourcePoint p;
  EXPECT_TRUE(t.Get(1, 0, &p));
  EXPECT_EQ(p.x, 4);
  const uint32_t src[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  uint32_t dst[2] = {99, 99};
  EXPECT_EQ(t.Render(src, 4, 4, dst, 2, false), 8u);
  EXPECT_EQ(dst[0], 16u);
  EXPECT_EQ(dst[1], 0u);
  EXPECT_EQ(t.Render(src, 4, 4, dst, 1, false), 0u);  // too small a destination
  EXPECT_EQ(t.Render(src, 4, 4, dst, 2, true), 8u);
  EXPECT_EQ(dst[0], 0u);
  EXPECT_EQ(dst[1], 16u);
}

TEST(DewarpEngine, EmptyOutputWritesNothing) {
  DewarpEngine engine;
  const std::vector<uint32_t> src(64 * 64, 7);
  uint32_t dst = 5;
  EXPECT_EQ(engine.RenderPtz(src.data(), &dst, 1, 64, 64, 0, 10, 90, 30, 120), 0u);
  EXPECT_EQ(dst, 5u);
}

TEST(DewarpEngine, ChangedParametersRebuildTheTable) {
  DewarpEngine engine;
  const std::vector<uint32_t> card = MakeCoordinateCard(256);
  std::vector<uint32_t> a(64 * 48), b(64 * 48), c(64 * 48);
  engine.RenderPtz(card.data(), a.data(), a.size(), 256, 256, 64, 48, 90, 30, 120);
  engine.RenderPtz(card.data(), b.data(), b.size(), 256, 256, 64, 48, 90, 30, 119);
  EXPECT_NE(a, b);
  engine.SetLensCoefficients(0, 0.5, 0, 0, 0, 0);
  engine.RenderPtz(card.data(), c.data(), c.size(), 256, 256, 64, 48, 90, 30, 119);
  EXPECT_NE(b, c);
  engine.SetEngineFlags(true);
  engine.RenderPtz(card.data(), b.data(), b.size(), 256, 256, 64, 48, 90, 30, 119);
  EXPECT_NE(b, c);
}

// A tile is as large as the table rendered into it, where the two size
// formulas of float and double arithmetic part.
struct TileCase {
  int source;
  bool wall;
  int span;
};

TEST(DewarpChannel, TileIsTheTablesSize) {
  const TileCase cases[] = {{1356, false, 180}, {2712, false, 180}, {1080, false, 180}, {1080, false, 360},
                            {1280, true, 0},    {2048, true, 0},    {1080, true, 0}};
  for (const TileCase& c : cases) {
    const std::vector<uint32_t> src(static_cast<size_t>(c.source) * c.source, 1);
    DewarpChannel channel;
    if (c.wall) {
      channel.SetWall180(2, 6);
    } else {
      PanoramaCommand p;
      p.span = static_cast<uint16_t>(c.span);
      channel.SetPanorama(p);
    }
    ASSERT_GE(ProcessDewarpFrame(channel, src.data(), c.source, c.source, 0), 0);
    DewarpEngine engine;
    RemapTable table;
    if (c.wall) {
      BuildWall180Table(c.source, c.source, 2, 6, &table);
    } else {
      BuildPanoramaTable(c.source, c.source, 2, c.source / 2, c.source / 2, c.source / 2, 0, c.span, &table);
    }
    EXPECT_EQ(channel.GetOutputWidth(), table.Width()) << c.source;
    EXPECT_EQ(channel.GetOutputHeight(), table.Height()) << c.source;
  }
}

TEST(DewarpChannel, SizesOfTheParts) {
  const std::vector<uint32_t> src(1080 * 1080, 1);
  DewarpChannel channel;
  PanoramaCommand half;
  half.span = 180;
  channel.SetPanorama(half);
  ProcessDewarpFrame(channel, src.data(), 1080, 1080, 0);
  EXPECT_EQ(channel.GetOutputWidth(), 424);
  EXPECT_EQ(channel.GetOutputHeight(), 270);
  channel.SetWall180(2, 6);
  ProcessDewarpFrame(channel, src.data(), 1080, 1080, 0);
  EXPECT_EQ(channel.GetOutputWidth(), 540);
  EXPECT_EQ(channel.GetOutputHeight(), 360);
}

TEST(DewarpChannel, SourceSizeChangeReappliesTheCommand) {
  DewarpChannel channel;
  PtzCommand c;
  c.width = 64;
  c.height = 48;
  c.pan = 90;
  c.tilt = 30;
  c.zoom = 120;
  channel.SetPtz(c);
  const std::vector<uint32_t> small = MakeCoordinateCard(128), large = MakeCoordinateCard(160);
  EXPECT_EQ(ProcessDewarpFrame(channel, small.data(), 128, 128, 0), kChannelPtz);
  EXPECT_EQ(ProcessDewarpFrame(channel, large.data(), 160, 160, 0), kChannelPtz);
  EXPECT_EQ(channel.GetOutputWidth(), 64);
  channel.ReadOutput([](const uint32_t* pixels, int w, int h) {
    // The centre of the view shows a point of the larger card.
    const CardPoint p = ReadCardPixel(pixels[(h / 2) * w + w / 2], 160);
    EXPECT_FALSE(p.black());
    EXPECT_GT(p.y, 80);
  });
}

TEST(DewarpChannel, FormatAndSnapshot) {
  DewarpChannel channel;
  PtzCommand c;
  c.width = 640;
  c.height = 480;
  c.pan = -30;
  c.tilt = 30;
  c.zoom = 120;
  channel.SetPtz(c);
  EXPECT_EQ(channel.FormatPtz(), "-30 30 120");
  std::vector<uint8_t> saved;
  const auto save = [&](std::span<const uint8_t> bmp, const std::wstring&) {
    saved.assign(bmp.begin(), bmp.end());
    return true;
  };
  EXPECT_EQ(channel.SaveSnapshot(L"x.jpg", save), -1);  // nothing made yet
  const std::vector<uint32_t> src(512 * 512, 0x00123456);
  ProcessDewarpFrame(channel, src.data(), 512, 512, 0);
  EXPECT_EQ(channel.SaveSnapshot(L"x.jpg", save), 1);
  ASSERT_EQ(saved.size(), 1228854u);
  EXPECT_EQ(saved[0], 'B');
  EXPECT_EQ(saved[1], 'M');
  EXPECT_EQ(saved[2] | saved[3] << 8 | saved[4] << 16 | saved[5] << 24, 1228854);
  EXPECT_EQ(static_cast<int32_t>(saved[22] | saved[23] << 8 | saved[24] << 16 | saved[25] << 24), -480);
  EXPECT_EQ(saved[28], 32);
  EXPECT_EQ(channel.SaveSnapshot(L"x.jpg", [](auto, auto&) { return false; }), -1);
}

}  // namespace
