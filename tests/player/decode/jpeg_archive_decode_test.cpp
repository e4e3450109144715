// JPEG pictures muxed into an archive with vyxmux (frame type 136) and
// decoded with vyxdecode the way the video box decodes them, against
// libjpeg-turbo's decodes of the same pictures: the accurate decoder
// exactly (djpeg -dct int -nosmooth on the transposed coefficients), the
// player's fast one within the bounds of the JPEG decoder's own tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/codecs/jpeg/jpeg_test_support.h"
#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::BuiltTool;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// The record indices of vyxdecode's lines "<record> type=<t> w=<w> h=<h> md5=<md5>".
std::vector<size_t> Records(const std::string& output, int expectedType) {
  std::vector<size_t> records;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    size_t record = 0;
    int type = 0, width = 0, height = 0;
    char md5[64] = {};
    if (std::sscanf(line.c_str(), "%zu type=%d w=%d h=%d md5=%63s", &record, &type, &width, &height, md5) != 5) {
      ADD_FAILURE() << "unexpected vyxdecode line: " << line;
      continue;
    }
    EXPECT_EQ(expectedType, type);
    records.push_back(record);
  }
  return records;
}

TEST(JpegArchive, PicturesDecodeAsLibjpegDecodesThemAndRefusedOnesAreSkipped) {
  ORLENTA_REQUIRE_PROGRAM("cjpeg");
  ORLENTA_REQUIRE_PROGRAM("djpeg");
  ORLENTA_REQUIRE_PROGRAM("jpegtran");
  testing_support::ScratchDir scratch("jpeg_archive");
  const int width = 120, height = 72;
  jpeg_test::WriteScene(scratch / "scene.ppm", width, height);
  // Record 2 is arithmetic-coded: refused, and the next picture still decodes.
  // Record 5 is stored as RGB, not YCbCr.
  const std::vector<std::string> options = {"-quality 80", "-quality 85 -progressive", "-arithmetic",
                                            "-quality 75 -sample 1x1 -restart 1", "-quality 90 -grayscale",
                                            "-quality 85 -rgb -restart 2B"};
  std::string muxArguments;
  for (size_t i = 0; i < options.size(); ++i) {
    const fs::path file = scratch / ("f" + std::to_string(i) + ".jpg");
    ASSERT_EQ(0, testing_support::Run("cjpeg " + options[i] + " " + Quote(scratch / "scene.ppm") + " > " + Quote(file)));
    muxArguments += " --jpeg " + Quote(file);
  }
  const fs::path archive = scratch / "pictures.vyx";
  ASSERT_EQ(0, testing_support::Run(Quote(BuiltTool("tools/vyxmux/vyxmux")) + " -o " + Quote(archive) + muxArguments +
                                    " >/dev/null"));

  for (const bool accurate : {false, true}) {
    SCOPED_TRACE(accurate ? "accurate" : "fast");
    const fs::path pictures = scratch / (accurate ? "accurate" : "fast");
    fs::create_directories(pictures);
    const auto output = testing_support::RunOutput(Quote(BuiltTool("tools/vyxdecode/vyxdecode")) + " " + Quote(archive) +
                                                   (accurate ? " --accurate" : "") + " --ppm " + Quote(pictures));
    ASSERT_TRUE(output);
    EXPECT_EQ((std::vector<size_t>{0, 1, 3, 4, 5}), Records(*output, 136));
    EXPECT_FALSE(fs::exists(pictures / "2.ppm"));
    for (size_t record : {0, 1, 3, 4, 5}) {
      SCOPED_TRACE("record " + std::to_string(record));
      const fs::path jpeg = scratch / ("f" + std::to_string(record) + ".jpg");
      const fs::path reference = scratch / "reference.pnm";
      jpeg_test::Picture expected;
      if (accurate) {
        ASSERT_EQ(0, testing_support::Run("jpegtran -transpose " + Quote(jpeg) + " | djpeg -dct int -nosmooth > " +
                                          Quote(reference)));
        expected = jpeg_test::Transposed(jpeg_test::ReadPnm(testing_support::ReadFile(reference)));
      } else {
        ASSERT_EQ(0, testing_support::Run("djpeg -dct fast -nosmooth " + Quote(jpeg) + " > " + Quote(reference)));
        expected = jpeg_test::ReadPnm(testing_support::ReadFile(reference));
      }
      jpeg_test::Picture decoded = jpeg_test::ReadPnm(testing_support::ReadFile(pictures / (std::to_string(record) + ".ppm")));
      ASSERT_EQ(width, decoded.width);
      if (expected.channels == 1) {
        // A grey picture is written as R = G = B.
        jpeg_test::Picture red{decoded.width, decoded.height, 1, {}};
        for (size_t i = 0; i < decoded.samples.size(); i += 3) {
          EXPECT_EQ(decoded.samples[i], decoded.samples[i + 1]);
          red.samples.push_back(decoded.samples[i]);
        }
        decoded = red;
      }
      const jpeg_test::Difference difference = jpeg_test::Compare(decoded, expected);
      if (accurate) {
        EXPECT_EQ(0, difference.maximum);
      } else {
        EXPECT_GE(difference.psnr, 50.0);
        EXPECT_LE(difference.maximum, 4);
      }
    }
  }
}

}  // namespace
