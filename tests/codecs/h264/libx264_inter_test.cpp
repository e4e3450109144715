// I/P CAVLC streams made by libx264 at test time, each decoded picture
// against FFmpeg's decode of the same file.
#include <gtest/gtest.h>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

struct X264Case {
  const char* name;
  const char* source;
  int width;
  int height;
  int frames;
  const char* x264Params;
  const char* extraArgs;
};

class LibX264Inter : public testing::TestWithParam<X264Case> {};

TEST_P(LibX264Inter, PicturesMatchFfmpeg) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const X264Case& c = GetParam();
  testing_support::ScratchDir dir(std::string("h264_x264p_") + c.name);
  const auto file = dir / "inter.264";
  ASSERT_TRUE(avc_test::MakeInterStream(file, c.source, c.width, c.height, c.frames, c.x264Params, c.extraArgs));
  const auto expected = testing_support::FfmpegFrameMd5s(file);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(expected.size(), static_cast<size_t>(c.frames));
  const auto decoded = avc_test::DecodeFileMd5(file, static_cast<uint32_t>((c.width + 15) / 16),
                                               static_cast<uint32_t>((c.height + 15) / 16));
  ASSERT_EQ(decoded.size(), expected.size());
  for (size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i], expected[i]) << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LibX264Inter,
    testing::Values(X264Case{"Cif", "testsrc2", 352, 288, 12, "", ""},
                    X264Case{"Mandelbrot", "mandelbrot", 352, 288, 12, "", ""},
                    X264Case{"SixteenRefsSlices", "testsrc2", 352, 288, 24, "ref=16:slices=4", ""},
                    X264Case{"AllPartitionsWideSearch", "mandelbrot", 320, 240, 16,
                             "partitions=all:me=umh:merange=64:subme=9", ""},
                    X264Case{"TinyPicture", "testsrc2", 48, 32, 10, "partitions=all:ref=3", ""},
                    X264Case{"FullHd", "testsrc2", 1920, 1080, 4, "", ""},
                    X264Case{"OddSize", "mandelbrot", 174, 98, 10, "partitions=all:ref=4", ""},
                    X264Case{"IntraRefresh", "testsrc2", 176, 144, 16, "intra-refresh=1:keyint=8", ""},
                    X264Case{"ConstrainedIntra", "mandelbrot", 176, 144, 12, "constrained-intra=1:chroma-qp-offset=6", ""},
                    X264Case{"IdrEveryFew", "testsrc2", 176, 144, 14, "keyint=4:min-keyint=4:scenecut=0", ""},
                    X264Case{"LowQp", "mandelbrot", 176, 144, 8, "qp=4", ""},
                    X264Case{"HighQp", "testsrc2", 176, 144, 8, "qp=50", ""},
                    X264Case{"DeblockOff", "mandelbrot", 176, 144, 8, "no-deblock=1", ""},
                    X264Case{"MainWeightedFade", "testsrc2", 176, 144, 20, "weightp=2:ref=3",
                             "-profile:v main -vf fade=in:0:18"}),
    [](const testing::TestParamInfo<X264Case>& info) { return std::string(info.param.name); });

}  // namespace
