// The geometry of every projection against FFmpeg's v360 filter on
// coordinate cards, with the equidistant lens (v360's fisheye input at 180
// degrees), v360 shifted to sample where our tables do.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "dewarp/dewarp_channel.h"
#include "tests/dewarp/coordinate_card.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kCard = 512;

struct Tile {
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
};

Tile Render(DewarpChannel& channel, const std::vector<uint32_t>& card, int size) {
  EXPECT_GE(ProcessDewarpFrame(channel, card.data(), size, size, 0), 0);
  Tile tile;
  channel.ReadOutput([&](const uint32_t* pixels, int w, int h) {
    tile.width = w;
    tile.height = h;
    if (pixels) tile.pixels.assign(pixels, pixels + static_cast<size_t>(w) * h);
  });
  return tile;
}

std::string Number(double v) {
  std::ostringstream s;
  s.precision(12);
  s << v;
  return s.str();
}

void ExpectAgreement(const Tile& ours, const std::string& filters, int size, double cx, double cy, double r) {
  const std::vector<uint32_t> card = MakeCoordinateCard(size);
  const std::optional<std::vector<uint32_t>> oracle = FilterCard(card, size, filters, ours.width, ours.height);
  ASSERT_TRUE(oracle) << filters;
  const CardAgreement a = CompareCards(ours.pixels, *oracle, size, cx, cy, r);
  EXPECT_GT(a.compared, ours.pixels.size() / 4) << filters;
  EXPECT_GE(a.WithinOneShare(), 0.999) << filters << "\ncompared " << a.compared << " within one " << a.withinOne;
  EXPECT_LE(a.worst, 2) << filters;
}

struct PtzCase {
  int pan, tilt, zoom, width, height;
  bool rotated, wall;
};

void PrintTo(const PtzCase& c, std::ostream* out) {
  *out << "pan " << c.pan << " tilt " << c.tilt << " zoom " << c.zoom << " " << c.width << "x" << c.height
       << (c.rotated ? " turned" : "") << (c.wall ? " wall" : "");
}

class PtzAgainstV360 : public ::testing::TestWithParam<PtzCase> {};

TEST_P(PtzAgainstV360, SamplesWhereV360Does) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const PtzCase c = GetParam();
  const std::vector<uint32_t> card = MakeCoordinateCard(kCard);
  DewarpChannel channel;
  PtzCommand command;
  command.lens = kEquidistantLens;
  command.wall = c.wall;
  command.rotated = c.rotated;
  command.width = static_cast<uint16_t>(c.width);
  command.height = static_cast<uint16_t>(c.height);
  command.pan = static_cast<int16_t>(c.pan);
  command.tilt = static_cast<int16_t>(c.tilt);
  command.zoom = static_cast<int16_t>(c.zoom);
  channel.SetPtz(command);
  const Tile tile = Render(channel, card, kCard);
  ASSERT_EQ(tile.width, c.width);
  ASSERT_EQ(tile.height, c.height);

  const std::string w = std::to_string(c.width);
  std::string orientation = c.wall ? "yaw=" + Number(ReducedAngle(-c.pan)) + ":pitch=" + Number(ReducedAngle(c.tilt))
                                   : "rorder=rpy:roll=" + Number(ReducedAngle(c.pan - 90)) +
                                         ":pitch=" + Number(ReducedAngle(c.tilt - 90));
  std::string filters = "v360=input=fisheye:ih_fov=180:iv_fov=180:output=flat:w=" + w + ":h=" + w +
                        ":h_fov=" + std::to_string(c.zoom) + ":v_fov=" + std::to_string(c.zoom) + ":" +
                        orientation + ":h_offset=" + Number(-1.0 / c.width) + ":v_offset=" +
                        Number(-1.0 / c.width) + ":interp=near,crop=" + w + ":" + std::to_string(c.height) +
                        ":0:0";
  if (c.rotated) filters += ",hflip,vflip";
  ExpectAgreement(tile, filters, kCard, kCard / 2.0, kCard / 2.0, kCard / 2.0);
}

INSTANTIATE_TEST_SUITE_P(DeskCeilingWall, PtzAgainstV360,
                         ::testing::Values(PtzCase{90, 30, 120, 320, 240, false, false},
                                           PtzCase{45, 60, 90, 320, 240, false, false},
                                           PtzCase{225, 30, 120, 200, 150, false, false},
                                           PtzCase{300, 10, 60, 256, 256, false, false},
                                           PtzCase{90, 90, 120, 320, 240, true, false},
                                           PtzCase{135, 30, 120, 320, 240, true, false},
                                           PtzCase{0, 0, 120, 320, 240, false, true},
                                           PtzCase{30, 30, 120, 320, 240, false, true},
                                           PtzCase{-30, -30, 120, 320, 240, false, true},
                                           PtzCase{75, -60, 40, 240, 180, false, true}));

struct PanoramaCase {
  int start, span;
  bool rotated;
  int centerX, centerY, radius;  // settings units
};

void PrintTo(const PanoramaCase& c, std::ostream* out) {
  *out << "start " << c.start << " span " << c.span << (c.rotated ? " turned" : "") << " centre " << c.centerX
       << "," << c.centerY << " radius " << c.radius;
}

class PanoramaAgainstV360 : public ::testing::TestWithParam<PanoramaCase> {};

TEST_P(PanoramaAgainstV360, SamplesWhereV360Does) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const PanoramaCase c = GetParam();
  const std::vector<uint32_t> card = MakeCoordinateCard(kCard);
  DewarpChannel channel;
  PanoramaCommand command;
  command.centerX = static_cast<uint16_t>(c.centerX);
  command.centerY = static_cast<uint16_t>(c.centerY);
  command.radius = static_cast<uint16_t>(c.radius);
  command.ratio = 2;
  command.start = static_cast<int16_t>(c.start);
  command.span = static_cast<uint16_t>(c.span);
  command.rotated = c.rotated;
  channel.SetPanorama(command);
  const Tile tile = Render(channel, card, kCard);
  ASSERT_GT(tile.width, 0);

  const int cx = c.centerX * kCard / 10000, cy = c.centerY * kCard / 10000, r = c.radius * kCard / 10000;
  const int W = static_cast<int>(std::lround(tile.width * 360.0 / c.span));
  const int oh = tile.height;
  std::string filters;
  // An off-centre lens: v360 sees the circle alone (the crop keeps each
  // pixel's value, so positions still read in the whole card's numbering).
  if (cx != kCard / 2 || cy != kCard / 2 || r != kCard / 2)
    filters = "crop=" + std::to_string(2 * r) + ":" + std::to_string(2 * r) + ":" + std::to_string(cx - r) + ":" +
              std::to_string(cy - r) + ",";
  filters += "v360=input=fisheye:ih_fov=180:iv_fov=180:output=e:w=" + std::to_string(W) +
             ":h=" + std::to_string(2 * oh + 1) + ":h_fov=360:v_fov=" + Number(180.0 * (2 * oh + 1) / (2 * oh)) +
             ":pitch=-90:rorder=rpy:roll=" + Number(ReducedAngle(90.0 + c.start + 180.0 / W)) +
             ":interp=near,crop=" + std::to_string(tile.width) + ":" + std::to_string(oh) + ":0:0";
  if (c.rotated) filters += ",hflip,vflip";
  ExpectAgreement(tile, filters, kCard, cx, cy, r);
}

INSTANTIATE_TEST_SUITE_P(StripsAndHalves, PanoramaAgainstV360,
                         ::testing::Values(PanoramaCase{0, 180, false, 5000, 5000, 5000},
                                           PanoramaCase{180, 180, false, 5000, 5000, 5000},
                                           PanoramaCase{0, 360, false, 5000, 5000, 5000},
                                           PanoramaCase{90, 360, true, 5000, 5000, 5000},
                                           PanoramaCase{0, 180, true, 5000, 5000, 5000},
                                           PanoramaCase{30, 360, false, 4500, 5200, 4000}));

TEST(Wall180AgainstV360, SamplesWhereV360Does) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const std::vector<uint32_t> card = MakeCoordinateCard(kCard);
  DewarpChannel channel;
  channel.SetWall180(2, 6);
  const Tile tile = Render(channel, card, kCard);
  const int W = kCard / 2, H = kCard / 2, top = H / 6;
  ASSERT_EQ(tile.width, W);
  ASSERT_EQ(tile.height, 5 * H / 6 - H / 6);
  const std::string filters = "v360=input=fisheye:ih_fov=180:iv_fov=180:output=e:w=" + std::to_string(W + 1) +
                              ":h=" + std::to_string(H + 1) + ":h_fov=" + Number(165.6 * (W + 1) / W) +
                              ":v_fov=" + Number(180.0 * (H + 1) / H) + ":interp=near,crop=" +
                              std::to_string(W) + ":" + std::to_string(tile.height) + ":0:" + std::to_string(top);
  ExpectAgreement(tile, filters, kCard, kCard / 2.0, kCard / 2.0, kCard / 2.0);
}

}  // namespace
