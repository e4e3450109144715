#include "tools/vyxmux/jpeg_size.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_support.h"
#include "tests/tools/ffmpeg_reference.h"

namespace {

using testing_support::ReadFile;

TEST(JpegSize, FromFrameHeaderOfEncodedPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("jpeg");
  const auto file = dir / "picture.jpg";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=320x240 -vf scale=321:239 -frames:v 1 -c:v mjpeg '" + file.string() + "'"));
  std::string error;
  const auto size = JpegSize(ReadFile(file), &error);
  ASSERT_TRUE(size) << error;
  EXPECT_EQ(size->width, 321);
  EXPECT_EQ(size->height, 239);
}

// Progressive and restart-interval files have other segment sequences.
TEST(JpegSize, ReferenceImagesOfEveryKind) {
  for (const char* name : {"testorig.jpg", "testorig_prog.jpg", "testorig_rst1.jpg", "testimgari.jpg"}) {
    ORLENTA_REQUIRE_TESTDATA(path, std::string("jpeg/") + name);
    std::string error;
    const auto size = JpegSize(ReadFile(path), &error);
    ASSERT_TRUE(size) << name << ": " << error;
    EXPECT_EQ(size->width, 227) << name;
    EXPECT_EQ(size->height, 149) << name;
  }
}

// A file cut anywhere, even just its last byte, has lost its EOI marker.
TEST(JpegSize, CutOrDamagedFileIsAnError) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("jpeg-cut");
  const auto path = dir / "picture.jpg";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=96x64 -frames:v 1 -c:v mjpeg '" + path.string() + "'"));
  const std::vector<uint8_t> file = ReadFile(path);
  std::mt19937 random(3);
  for (size_t cut = 0; cut < file.size(); cut += cut < 700 ? 1 : 1 + random() % 97) {
    std::string error;
    ASSERT_FALSE(JpegSize({file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)}, &error)) << cut;
    ASSERT_NE(error, "");
  }
  for (const std::vector<uint8_t>& bad : std::vector<std::vector<uint8_t>>{
           {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9},                    // scan before any SOF
           {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x01},                                // length below 2
           {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x08, 8, 0, 0, 0, 0, 1, 0xFF, 0xD9},  // zero size
           {0x89, 'P', 'N', 'G'}}) {
    std::string error;
    EXPECT_FALSE(JpegSize(bad, &error));
    EXPECT_NE(error, "");
  }
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> garbled = file;
    for (int flips = 0; flips < 8; ++flips) garbled[random() % 200] = static_cast<uint8_t>(random());
    JpegSize(garbled);
  }
}

}  // namespace
