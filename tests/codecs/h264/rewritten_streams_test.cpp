// Streams libx264 does not make, from its intra and I/P streams through
// tools/h264rewrite: FFmpeg shows the intended header fields and decodes
// them without complaint, and the library's pictures equal FFmpeg's.
#include <gtest/gtest.h>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/test_support.h"

namespace {

struct RewriteCase {
  const char* mode;
  int width, height;
  // A field trace_headers must show with this value in the rewritten stream.
  const char* field;
  const char* value;
  bool inter = false;  // rewrite an I/P stream instead of an intra-only one
  const char* x264Params = "";
  int frames = 6;
  const char* name = nullptr;  // the test's name when the mode alone does not tell it
};

bool TraceShows(const std::string& trace, const std::string& field, const std::string& value) {
  size_t at = 0;
  while ((at = trace.find(" " + field + " ", at)) != std::string::npos) {
    const size_t end = trace.find('\n', at);
    const std::string line = trace.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.size() >= value.size() + 2 && line.compare(line.size() - value.size() - 2, std::string::npos, "= " + value) == 0) {
      return true;
    }
    at = end;
  }
  return false;
}

class RewrittenStream : public testing::TestWithParam<RewriteCase> {};

TEST_P(RewrittenStream, DecodesAsFfmpegDoes) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const RewriteCase& c = GetParam();
  testing_support::ScratchDir dir(std::string("h264_rewrite_") + c.mode);
  const auto original = dir / "intra.264";
  const auto rewritten = dir / "rewritten.264";
  ASSERT_TRUE(c.inter ? avc_test::MakeInterStream(original, "mandelbrot", c.width, c.height, c.frames, c.x264Params)
                      : avc_test::MakeIntraStream(original, c.width, c.height, c.frames, ""));
  ASSERT_EQ(testing_support::Run("'" + testing_support::BuiltTool("tools/h264rewrite/h264rewrite").string() +
                                 "' --mode " + c.mode + " '" + original.string() + "' '" + rewritten.string() + "'"),
            0);
  const auto trace = testing_support::RunOutput("ffmpeg -nostdin -i '" + rewritten.string() +
                                                "' -c copy -bsf:v trace_headers -f null - 2>&1");
  ASSERT_TRUE(trace);
  EXPECT_TRUE(TraceShows(*trace, c.field, c.value)) << c.field << " = " << c.value;
  // A clean decode: nothing on the error level.
  const auto errors =
      testing_support::RunOutput("ffmpeg -nostdin -v error -i '" + rewritten.string() + "' -f null - 2>&1");
  ASSERT_TRUE(errors);
  EXPECT_EQ(*errors, "");

  const auto expected = avc_test::FfmpegFrameMd5(rewritten);
  ASSERT_TRUE(expected);
  EXPECT_EQ(expected->size(), static_cast<size_t>(c.frames));
  const auto decoded = avc_test::DecodeFileMd5(rewritten, static_cast<uint32_t>((c.width + 15) / 16),
                                               static_cast<uint32_t>((c.height + 15) / 16));
  EXPECT_EQ(decoded, *expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RewrittenStream,
    testing::Values(RewriteCase{"idr-to-i", 176, 144, "adaptive_ref_pic_marking_mode_flag", "0"},
                    RewriteCase{"no-output-of-prior-pics", 176, 144, "no_output_of_prior_pics_flag", "1"},
                    RewriteCase{"no-ref-frames-level10", 352, 288, "level_idc", "10"},
                    RewriteCase{"explicit-weights", 176, 144, "luma_log2_weight_denom", "5", true, "ref=3:partitions=all"},
                    RewriteCase{"frame-num-gaps", 176, 144, "gaps_in_frame_num_allowed_flag", "1", true, "ref=1"},
                    RewriteCase{"non-reference-thirds", 96, 64, "frame_num", "15", true, "ref=1", 30},
                    RewriteCase{"poc-type-0", 96, 64, "pic_order_cnt_lsb", "254", true,
                                "ref=2:keyint=200:min-keyint=200", 140},
                    RewriteCase{"long-term-marking", 176, 144, "long_term_frame_idx", "1", true, "ref=1", 20},
                    RewriteCase{"no-output-of-prior-pics", 176, 144, "no_output_of_prior_pics_flag", "1", true,
                                "ref=2:keyint=4:min-keyint=4", 12, "no_output_of_prior_pics_in_p_stream"}),
    [](const testing::TestParamInfo<RewriteCase>& info) {
      if (info.param.name) return std::string(info.param.name);
      std::string name = info.param.mode;
      for (char& ch : name) {
        if (ch == '-') ch = '_';
      }
      return name;
    });

}  // namespace
