// Streams libx264 does not make, from its intra and I/P streams through
// tools/h264rewrite: FFmpeg shows the intended header fields and decodes
// them without complaint, and the library's pictures equal FFmpeg's.
#include <gtest/gtest.h>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/codecs/h264/field_streams.h"
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

// The value of the first line showing `field`; "" when none does.
std::string FirstTraceValue(const std::string& trace, const std::string& field) {
  const size_t at = trace.find(" " + field + " ");
  if (at == std::string::npos) return "";
  const size_t end = trace.find('\n', at);
  const std::string line = trace.substr(at, end == std::string::npos ? std::string::npos : end - at);
  const size_t equals = line.rfind("= ");
  return equals == std::string::npos ? "" : line.substr(equals + 2);
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

  const auto expected = testing_support::FfmpegFrameMd5s(rewritten);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(expected.size(), static_cast<size_t>(c.frames));
  const auto decoded = avc_test::DecodeFileMd5(rewritten, static_cast<uint32_t>((c.width + 15) / 16),
                                               static_cast<uint32_t>((c.height + 15) / 16));
  EXPECT_EQ(decoded, expected);
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

// The interlaced rewrites, as FFmpeg sees them: the headers each mode
// writes, a decode without a complaint (one thread: FFmpeg's frame threads
// flag field pairs after frame pictures as corrupt, its single thread
// decodes the same pictures without), one picture per frame or field pair,
// and frame pictures of an interlaced sequence decoding as their source.
class InterlacedRewrite : public testing::TestWithParam<avc_test::FieldStream> {};

TEST_P(InterlacedRewrite, FfmpegDecodesItCleanly) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const avc_test::FieldStream& s = GetParam();
  testing_support::ScratchDir dir(std::string("h264_interlaced_") + s.name);
  const auto file = avc_test::MakeFieldStream(s, dir.path());
  ASSERT_TRUE(file);
  const std::string options = s.options;
  const bool frames = std::string(s.mode) == "interlaced-frames";

  const auto trace = testing_support::RunOutput("ffmpeg -nostdin -i '" + file->string() +
                                                "' -c copy -bsf:v trace_headers -f null - 2>&1");
  ASSERT_TRUE(trace);
  EXPECT_EQ(FirstTraceValue(*trace, "profile_idc"), "77");
  EXPECT_EQ(FirstTraceValue(*trace, "frame_mbs_only_flag"), "0");
  EXPECT_EQ(FirstTraceValue(*trace, "mb_adaptive_frame_field_flag"), "0");
  EXPECT_EQ(FirstTraceValue(*trace, "pic_order_cnt_type"), options.find("--poc-type-0") != std::string::npos ? "0" : "2");
  EXPECT_EQ(FirstTraceValue(*trace, "field_pic_flag"), frames ? "0" : std::string(s.mode) == "mixed" ? "0" : "1");
  EXPECT_EQ(TraceShows(*trace, "field_pic_flag", "1"), !frames);
  if (!frames) {
    EXPECT_EQ(FirstTraceValue(*trace, "bottom_field_flag"),
              options.find("--bottom-first") != std::string::npos ? "1" : "0");
  }
  if (options.find("--long-term-marking") != std::string::npos) {
    EXPECT_TRUE(TraceShows(*trace, "long_term_frame_idx", "1"));
    EXPECT_TRUE(TraceShows(*trace, "long_term_pic_num", "1"));
  }
  if (options.find("--explicit-weights") != std::string::npos) {
    EXPECT_TRUE(TraceShows(*trace, "weighted_pred_flag", "1"));
    EXPECT_TRUE(TraceShows(*trace, "luma_weight_l0[1]", "124"));
  }

  const auto complaints = testing_support::RunOutput("ffmpeg -nostdin -v warning -threads 1 -i '" + file->string() +
                                                     "' -vf setpts=N -f null - 2>&1");
  ASSERT_TRUE(complaints);
  EXPECT_EQ(*complaints, "");
  const auto md5s = testing_support::FfmpegFrameMd5s(*file);
  ASSERT_FALSE(md5s.empty());
  EXPECT_EQ(md5s.size(), static_cast<size_t>(s.frames));
  const auto height = testing_support::RunOutput("ffprobe -v error -select_streams v -show_entries stream=height "
                                                 "-of csv=p=0 '" + file->string() + "'");
  ASSERT_TRUE(height);
  EXPECT_EQ(*height, std::to_string(s.height) + "\n");
  if (frames) {
    EXPECT_EQ(testing_support::FfmpegFrameMd5s(dir / (std::string(s.name) + "_full.264")), md5s);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, InterlacedRewrite, testing::ValuesIn(avc_test::FieldStreams()),
                         [](const testing::TestParamInfo<avc_test::FieldStream>& info) { return info.param.name; });

}  // namespace

// Encodes that cannot be interlaced as asked are refused, not rewritten
// into a stream FFmpeg would have to guess about.
TEST(InterlacedRewriteInput, RefusesEncodesThatDoNotFit) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_interlaced_refused");
  ASSERT_TRUE(avc_test::MakeInterStream(dir / "qcif.264", "testsrc2", 176, 144, 4, ""));
  ASSERT_TRUE(avc_test::MakeInterStream(dir / "half.264", "testsrc2", 352, 144, 8, ""));
  ASSERT_TRUE(avc_test::MakeMbaffStream(dir / "mbaff.264", 352, 288, 2));
  const std::string tool = "'" + testing_support::BuiltTool("tools/h264rewrite/h264rewrite").string() + "' --mode ";
  const std::string out = " '" + (dir / "out.264").string() + "' 2>/dev/null";
  // Nine macroblock rows make no two fields.
  EXPECT_EQ(testing_support::Run(tool + "interlaced-frames '" + (dir / "qcif.264").string() + "'" + out), 1);
  // Fields of 352x144 are not those of a 176x144 frame.
  EXPECT_EQ(testing_support::Run(tool + "mixed '" + (dir / "qcif.264").string() + "' '" + (dir / "half.264").string() +
                                 "'" + out),
            1);
  // libx264's own interlaced coding.
  EXPECT_EQ(testing_support::Run(tool + "field-pairs '" + (dir / "mbaff.264").string() + "'" + out), 1);
  // Long-term field pairs only.
  EXPECT_EQ(testing_support::Run(tool + "mixed --long-term-marking '" + (dir / "qcif.264").string() + "' '" +
                                 (dir / "half.264").string() + "'" + out),
            1);
}
