// What CJpegImage writes into the picture it is given: B, G, R with the X
// byte left alone, grey as B = G = R, rows clipped to both sizes; and the
// fast decoder's exact cases.
#include <gtest/gtest.h>

#include <random>

#include "codecs/jpeg/jpeg_image.h"
#include "tests/codecs/jpeg/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class JpegImage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("cjpeg") || !testing_support::HaveProgram("djpeg")) {
      GTEST_SKIP() << "program absent: cjpeg or djpeg";
    }
  }
  Bytes Cjpeg(const std::string& options, const std::filesystem::path& source) {
    const auto out = scratch_ / "out.jpg";
    return jpeg_test::Made("cjpeg " + options + " '" + source.string() + "' > '" + out.string() + "'", out);
  }
  jpeg_test::Picture Djpeg(const std::string& options) {
    const auto out = scratch_ / "ref.pnm";
    return jpeg_test::ReadPnm(
        jpeg_test::Made("djpeg " + options + " '" + (scratch_ / "out.jpg").string() + "' > '" + out.string() + "'", out));
  }
  testing_support::ScratchDir scratch_{"jpeg_image"};
};

// Flat 16 × 16 tiles: every block, luma and chroma, holds only its DC
// coefficient.  Both fast decoders prescale the tables alike, so such a
// block gives ⌊q·c/8⌋ + 128 in each, and the pictures are equal.
TEST_F(JpegImage, FastDecoderEqualsLibjpegIfastOnDcOnlyPictures) {
  const int width = 80, height = 48;
  std::mt19937 random(7);
  std::string header = "P6\n80 48\n255\n";
  Bytes ppm(header.begin(), header.end());
  std::vector<uint8_t> tiles(5 * 3 * 3);
  for (uint8_t& value : tiles) value = static_cast<uint8_t>(random());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) ppm.push_back(tiles[static_cast<size_t>(((y / 16) * 5 + x / 16) * 3 + c)]);
    }
  }
  testing_support::WriteFile(scratch_ / "tiles.ppm", ppm);
  for (const char* options : {"-quality 75", "-quality 90 -sample 1x1", "-quality 60 -sample 2x1", "-quality 75 -grayscale",
                              "-quality 75 -progressive"}) {
    const Bytes jpeg = Cjpeg(options, scratch_ / "tiles.ppm");
    const jpeg_test::Picture reference = Djpeg("-dct fast -nosmooth");
    ASSERT_EQ(width, reference.width) << options;
    const jpeg_test::Picture ours = jpeg_test::DecodeWithImage(jpeg, true, width, height, reference.channels);
    EXPECT_EQ(0, jpeg_test::Compare(ours, reference).maximum) << options;
  }
}

TEST_F(JpegImage, GreyPicturesFillBlueGreenAndRedAndNoneTouchesX) {
  jpeg_test::WriteScene(scratch_ / "scene.ppm", 40, 24);
  for (const char* options : {"-grayscale", ""}) {
    const Bytes jpeg = Cjpeg(options, scratch_ / "scene.ppm");
    Bytes out(40 * 24 * 4, 0xAB);
    CJpegImage image;
    ASSERT_EQ(1u, image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), out.data(),
                                     static_cast<uint32_t>(out.size()), 40));
    bool allGrey = true;
    for (size_t i = 0; i < out.size(); i += 4) {
      EXPECT_EQ(0xAB, out[i + 3]);
      allGrey = allGrey && out[i] == out[i + 1] && out[i + 1] == out[i + 2];
    }
    EXPECT_EQ(std::string(options) == "-grayscale", allGrey) << options;
  }
}

// A record whose size differs from the JPEG's: rows step by the record's
// width and both sizes clip; what lies outside the JPEG is left alone.
TEST_F(JpegImage, PictureOfAnotherSizeIsClippedToBoth) {
  jpeg_test::WriteScene(scratch_ / "scene.ppm", 96, 64);
  const Bytes jpeg = Cjpeg("-quality 85", scratch_ / "scene.ppm");
  const jpeg_test::Picture whole = jpeg_test::DecodeWithImage(jpeg, true, 96, 64, 3);
  for (auto [width, height] : {std::pair{80, 50}, std::pair{120, 70}, std::pair{96, 1}}) {
    Bytes out(static_cast<size_t>(width) * height * 4, 0xAB);
    CJpegImage image;
    ASSERT_EQ(1u, image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), out.data(),
                                     static_cast<uint32_t>(out.size()), width));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* pixel = &out[(static_cast<size_t>(y) * width + x) * 4];
        if (x < 96 && y < 64) {
          const uint8_t* expected = &whole.samples[(static_cast<size_t>(y) * 96 + x) * 3];
          ASSERT_EQ(expected[2], pixel[0]) << x << "," << y << " in " << width << "x" << height;
          ASSERT_EQ(expected[0], pixel[2]) << x << "," << y << " in " << width << "x" << height;
        } else {
          ASSERT_EQ(0xAB, pixel[0]) << x << "," << y << " in " << width << "x" << height;
        }
      }
    }
  }
}

}  // namespace
