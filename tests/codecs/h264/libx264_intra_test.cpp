// Intra-only CAVLC streams made by libx264 at test time, each decoded
// picture against FFmpeg's decode of the same file.
#include <gtest/gtest.h>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

struct X264Case {
  const char* name;
  int width;
  int height;
  int frames;
  const char* x264Params;
  const char* extraArgs;
};

class LibX264Intra : public testing::TestWithParam<X264Case> {};

TEST_P(LibX264Intra, PicturesMatchFfmpeg) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const X264Case& c = GetParam();
  testing_support::ScratchDir dir(std::string("h264_x264_") + c.name);
  const auto file = dir / "intra.264";
  ASSERT_TRUE(avc_test::MakeIntraStream(file, c.width, c.height, c.frames, c.x264Params, c.extraArgs));
  const auto expected = testing_support::FfmpegFrameMd5s(file);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(expected.size(), static_cast<size_t>(c.frames));
  const auto decoded =
      avc_test::DecodeFileMd5(file, static_cast<uint32_t>((c.width + 15) / 16), static_cast<uint32_t>((c.height + 15) / 16));
  ASSERT_EQ(decoded.size(), expected.size());
  for (size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i], expected[i]) << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LibX264Intra,
    testing::Values(X264Case{"Cif", 352, 288, 4, "", ""},
                    X264Case{"OddCrop", 174, 98, 3, "", ""},
                    X264Case{"NarrowTall", 34, 102, 3, "", ""},
                    X264Case{"Qp1", 176, 144, 2, "qp=1", ""},
                    X264Case{"Qp51", 176, 144, 2, "qp=51", ""},
                    X264Case{"Qp30", 176, 144, 2, "qp=30", ""},
                    X264Case{"DeblockOff", 176, 144, 2, "no-deblock=1", ""},
                    X264Case{"DeblockOffsets", 176, 144, 2, "deblock=6,-6", ""},
                    X264Case{"DeblockNegative", 176, 144, 2, "deblock=-6,6", ""},
                    X264Case{"ChromaQpOffset", 176, 144, 2, "chroma-qp-offset=12", ""},
                    X264Case{"ChromaQpNegative", 176, 144, 2, "chroma-qp-offset=-12", ""},
                    X264Case{"Slices", 352, 288, 2, "slices=5", ""},
                    X264Case{"SliceMaxSize", 352, 288, 2, "slice-max-size=400", ""},
                    X264Case{"AdaptiveQuant", 320, 240, 3, "aq-mode=2:aq-strength=2", ""},
                    X264Case{"Main", 176, 144, 2, "", "-profile:v main"},
                    X264Case{"FullHd", 1920, 1080, 2, "", ""}),
    [](const testing::TestParamInfo<X264Case>& info) { return std::string(info.param.name); });

}  // namespace
