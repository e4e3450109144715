// Decoder kind 4, the program's own H.264 library: through vyxdecode on
// archives (planes against FFmpeg's md5s, progressive and interlaced, with
// either kernel set; pixels against the FFmpeg kind),
// fed class-3 records in the video output, on streams with B pictures and on
// streams it refuses.
#include "player/decode/qx264_kind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "codecs/pixels/output_formats.h"
#include "platform/memory_display.h"
#include "player/output/video_output.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/player/vyxdecode_run.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

namespace {

namespace fs = std::filesystem;
using testing_support::BuiltTool;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

class ConformanceArchive : public testing::TestWithParam<const char*> {};

TEST_P(ConformanceArchive, PlanesEqualTheReferenceMd5s) {
  const std::string name = GetParam();
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/" + name);
  ORLENTA_REQUIRE_TESTDATA(listing, "h264_framemd5/" + name + ".framemd5");
  testing_support::ScratchDir scratch("qx264_conformance");
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", stream, scratch / "a.vyx"));
  const auto expected = testing_support::ReadFrameMd5s(listing);
  ASSERT_FALSE(expected.empty());
  // The processor's kernel set, then each set forced.
  for (const std::string kernels : {"", " --kernels=plain", " --kernels=simd"})
    EXPECT_EQ(vyxdecode_run::DecodeMd5s(scratch / "a.vyx", "--planes --decoder=qx264" + kernels), expected) << kernels;
}

// CVFC1_Sony_C crops 26 to 60 samples on every side, more than rounding its
// cropped size up to whole macroblocks covers: archived at its coded size,
// the library has room for it, and its cropped windows are the reference's
// (FFmpeg with exact crops).
TEST(ConformanceArchiveAtCodedSize, CroppedWindowsEqualTheReferenceMd5s) {
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/CVFC1_Sony_C.jsv");
  ORLENTA_REQUIRE_TESTDATA(listing, "h264_framemd5/CVFC1_Sony_C.jsv.framemd5");
  testing_support::ScratchDir scratch("qx264_cvfc1");
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", stream, scratch / "a.vyx", "--size 352x288"));
  const auto expected = testing_support::ReadFrameMd5s(listing);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(vyxdecode_run::DecodeMd5s(scratch / "a.vyx", "--planes --decoder=qx264"), expected);
}

INSTANTIATE_TEST_SUITE_P(H264, ConformanceArchive,
                         testing::Values("BA1_Sony_D.jsv", "BAMQ1_JVC_C.264", "BASQP1_Sony_C.jsv",
                                         "CVPCMNL1_SVA_C.264", "NL1_Sony_D.jsv", "NLMQ1_JVC_C.264", "SVA_BA1_B.264",
                                         "SVA_NL1_B.264", "BA1_FT_C.264", "BAMQ2_JVC_C.264", "BANM_MW_D.264",
                                         "BA_MW_D.264", "CI1_FT_B.264", "CI_MW_D.264", "LS_SVA_D.264",
                                         "MIDR_MW_D.264", "MPS_MW_A.264", "MR1_BT_A.h264", "MR1_MW_A.264",
                                         "MR2_MW_A.264", "MR2_TANDBERG_E.264", "NLMQ2_JVC_C.264", "NRF_MW_E.264",
                                         "SVA_BA2_D.264", "SVA_Base_B.264", "SVA_CL1_E.264", "SVA_FM1_E.264",
                                         "SVA_NL2_E.264"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// Interlaced streams (field pairs top and bottom first at three sizes, both
// picture order count types, long-term pairs, explicit weights per
// reference field, frame pictures of an interlaced sequence, frames mixed
// with field pairs): one record per frame or field pair, each hashed as its
// frame, as FFmpeg outputs it.
class InterlacedArchive : public testing::TestWithParam<avc_test::FieldStream> {};

TEST_P(InterlacedArchive, PlanesEqualFfmpegsFrames) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const avc_test::FieldStream& s = GetParam();
  testing_support::ScratchDir scratch(std::string("qx264_interlaced_") + s.name);
  const auto stream = avc_test::MakeFieldStream(s, scratch.path());
  ASSERT_TRUE(stream);
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", *stream, scratch / "a.vyx"));
  const auto expected = testing_support::FfmpegFrameMd5s(*stream);
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(expected.size(), static_cast<size_t>(s.frames));
  EXPECT_EQ(vyxdecode_run::DecodeMd5s(scratch / "a.vyx", "--planes --decoder=qx264"), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, InterlacedArchive, testing::ValuesIn(avc_test::FieldStreams()),
                         [](const testing::TestParamInfo<avc_test::FieldStream>& info) { return info.param.name; });

// The converted pictures of both kinds agree, cropped sizes and 1080 lines
// (68 macroblock rows) included, for intra pictures and for P pictures.
TEST(Qx264Kind, PixelsEqualTheFfmpegKinds) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("qx264_pixels");
  for (const auto& [width, height] : {std::pair{174, 98}, std::pair{1920, 1080}}) {
    const auto stream = scratch / "intra.264";
    ASSERT_TRUE(avc_test::MakeIntraStream(stream, width, height, 2, ""));
    ASSERT_TRUE(vyxdecode_run::Mux("--h264", stream, scratch / "a.vyx"));
    const auto own = vyxdecode_run::DecodeMd5s(scratch / "a.vyx", "--decoder=qx264");
    EXPECT_EQ(own.size(), 2u) << width << "x" << height;
    EXPECT_EQ(own, vyxdecode_run::DecodeMd5s(scratch / "a.vyx", "--decoder=ffmpeg")) << width << "x" << height;
  }
  const auto stream = scratch / "inter.264";
  ASSERT_TRUE(avc_test::MakeInterStream(stream, "mandelbrot", 174, 98, 8, "partitions=all:ref=3:keyint=4"));
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", stream, scratch / "p.vyx"));
  const auto own = vyxdecode_run::DecodeMd5s(scratch / "p.vyx", "--decoder=qx264");
  EXPECT_EQ(own.size(), 8u);
  EXPECT_EQ(own, vyxdecode_run::DecodeMd5s(scratch / "p.vyx", "--decoder=ffmpeg"));
}

// libx264 Main CAVLC streams with B pictures, which the library does not
// decode.  With weighted bi-prediction in the picture parameter set every I
// and P picture is still shown.  With B pictures as references (b-pyramid)
// the P pictures predicted from them cannot be, nor those predicted from
// these in turn until the next IDR picture: they are withheld, and every
// picture shown is FFmpeg's picture of its access unit.
TEST(Qx264Kind, StreamsWithBPicturesShowTheirIAndPPicturesOrWithholdThem) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("qx264_b_pictures");
  struct Case {
    const char* x264Params;
    bool everyIAndP;
  };
  for (const Case& c : {Case{"b-adapt=0:b-pyramid=none", true}, Case{"b-adapt=0:weightb=0:b-pyramid=normal", false}}) {
    const auto file = scratch / "b.264";
    ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 "
                                   "-frames:v 40 -c:v libx264 -profile:v main -coder 0 -bf 3 -g 20 -x264-params " +
                                   std::string(c.x264Params) + " -f h264 " + Quote(file)),
              0);
    const auto expected = avc_test::FfmpegPicturesInDecodingOrder(file);
    ASSERT_TRUE(expected) << c.x264Params;
    ASSERT_EQ(expected->size(), 40u);
    std::vector<size_t> iAndP;
    for (size_t i = 0; i < expected->size(); ++i) {
      if ((*expected)[i].type != 'B') iAndP.push_back(i);
    }
    ASSERT_LT(iAndP.size(), 20u) << "no B pictures: " << c.x264Params;
    ASSERT_TRUE(vyxdecode_run::Mux("--h264", file, scratch / "b.vyx"));
    const auto run = vyxdecode_run::DecodeArchive(scratch / "b.vyx", "--planes --decoder=qx264");
    EXPECT_EQ(run.status, 0) << c.x264Params;
    std::vector<size_t> shown;
    for (const vyxdecode_run::Picture& p : run.pictures) {
      ASSERT_LT(p.record, expected->size());
      EXPECT_EQ(p.md5, (*expected)[p.record].md5) << c.x264Params << " record " << p.record;
      shown.push_back(p.record);
    }
    // Every record not shown is told: a B picture as refused, any other as
    // withheld.
    std::vector<size_t> told;
    for (const vyxdecode_run::Told& line : run.told) {
      ASSERT_LT(line.record, expected->size());
      const bool b = (*expected)[line.record].type == 'B';
      EXPECT_EQ(line.verdict, b ? "refused" : "withheld") << c.x264Params << " record " << line.record;
      EXPECT_EQ(line.code, b ? "0x3000001a" : "0x30000020") << c.x264Params << " record " << line.record;
      told.push_back(line.record);
    }
    std::vector<size_t> all = shown;
    all.insert(all.end(), told.begin(), told.end());
    std::sort(all.begin(), all.end());
    std::vector<size_t> every(expected->size());
    for (size_t i = 0; i < every.size(); ++i) every[i] = i;
    EXPECT_EQ(all, every) << c.x264Params << ": each record is shown or told, once";
    if (c.everyIAndP) {
      EXPECT_EQ(shown, iAndP) << c.x264Params;
      continue;
    }
    // The IDR pictures and the P picture after each, which comes before
    // any B reference, are shown.
    ASSERT_EQ((*expected)[20].type, 'I');
    for (const size_t record : {0u, 1u, 20u, 21u}) {
      EXPECT_NE(std::find(shown.begin(), shown.end(), record), shown.end()) << "record " << record;
    }
  }
}

// Opened for QCIF: a CABAC stream, a High 10 stream and a CIF stream give
// no picture and leave the destination alone.
TEST(Qx264Kind, StreamsItCannotDecodeGiveNoPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("qx264_refused");
  struct Case {
    const char* encoding;
    int64_t refusal;  // what the kind tells of each access unit
  };
  const Case cases[] = {
      {"-s 176x144 -c:v libx264 -profile:v main -x264-params keyint=1", 0x2000001b},
      {"-s 176x144 -pix_fmt yuv420p10le -c:v libx264 -profile:v high10 -x264-params keyint=1:cabac=0", 0x20000007},
      {"-s 352x288 -c:v libx264 -profile:v baseline -x264-params keyint=1", 0x2000000c},
  };
  for (const auto& [encoding, refusal] : cases) {
    const auto file = scratch / "refused.264";
    ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=352x288:rate=25 "
                                   "-frames:v 2 " + std::string(encoding) + " -f h264 " + Quote(file)),
              0);
    std::vector<uint8_t> destination(176 * 144 * 4, 0x5A);
    DecoderTarget target;
    target.destination = destination.data();
    target.width = 176;
    target.height = 144;
    target.format = OUTPUT_FORMAT_RGB32;
    Qx264Kind kind;
    ASSERT_EQ(kind.Open(target), 1);
    for (const auto& unit : avc_test::SplitAccessUnits(testing_support::ReadFile(file))) {
      EXPECT_EQ(kind.Decode(unit.data(), static_cast<int32_t>(unit.size()), 0), -1) << encoding;
      const DecodeOutcome outcome = kind.LastOutcome();
      EXPECT_EQ(outcome.verdict, DecodeOutcome::Verdict::kRefused) << encoding;
      EXPECT_EQ(outcome.code, refusal) << encoding;
      EXPECT_FALSE(outcome.meaning.empty()) << encoding;
    }
    EXPECT_EQ(destination, std::vector<uint8_t>(176 * 144 * 4, 0x5A)) << encoding;
    EXPECT_EQ(kind.Drain(), -1);
  }
}

// Records of codec class 3 reach kind 4 in the video output and are drawn.
TEST(Qx264Kind, VideoOutputDrawsClassThreeRecords) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("qx264_output");
  const auto stream = scratch / "intra.264";
  ASSERT_TRUE(avc_test::MakeIntraStream(stream, 176, 144, 3, ""));
  platform::ScopedDisplayBackend display(std::make_shared<platform::MemoryDisplayBackend>());
  platform::MemoryVideoWindow window;
  VideoOutput output(window);
  output.SetOutputFormat(32, 0);
  int drawn = 0;
  output.SetDrawObserver([&](const DrawnPicture& picture) {
    ++drawn;
    EXPECT_EQ(picture.width, 176);
    EXPECT_EQ(picture.height, 144);
  });
  for (const auto& unit : avc_test::SplitAccessUnits(testing_support::ReadFile(stream))) {
    VyxFrame frame = testing_support::MakeVyxFrame(FRAME_TYPE_H264_I, unit, 176, 144);
    frame.index.codecClass = CODEC_CLASS_QX264;
    output.ShowVideoFrame(frame);
  }
  EXPECT_EQ(drawn, 3);
}

}  // namespace
