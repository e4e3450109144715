// Our decode of FFmpeg- and libxvid-encoded streams against FFmpeg's own
// decode (x86-64 xvid IDCT, one thread), picture for picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ScratchDir;

struct Config {
  const char* name;
  int width, height, frames;
  const char* options;
  const char* filters;
};

// Black and saturated areas: decoded samples of 0 and 255 are common, which
// shows how averages that round down treat them.
constexpr const char* kClipped = "lutyuv=y=val*1.6-120:u=val*3-250:v=val*3-130";
// Motion everywhere, towards and past the edges.
constexpr const char* kMoving = "scroll=v=-0.05:h=0.03,rotate=-0.05*t";

const Config kConfigs[] = {
    {"IntraOnly", 352, 240, 12, "-c:v mpeg4 -g 1 -q:v 4", ""},
    {"IntraAndInter", 352, 240, 30, "-c:v mpeg4 -q:v 4", ""},
    {"Quantiser1", 352, 240, 12, "-c:v mpeg4 -q:v 1", ""},
    {"Quantiser31", 352, 240, 30, "-c:v mpeg4 -q:v 31", ""},
    {"MpegQuantDefaultMatrices", 352, 240, 30, "-c:v mpeg4 -mpeg_quant 1 -q:v 3", ""},
    {"MpegQuantLoadedMatrices", 352, 240, 30,
     "-c:v mpeg4 -mpeg_quant 1 -q:v 4 -intra_matrix "
     "8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,"
     "44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59,60,61,62,63,64,65,66,67,68,69,70,71 -inter_matrix "
     "16,16,16,16,16,16,16,16,16,16,16,16,16,16,16,16,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,24,24,24,24,"
     "24,24,24,24,24,24,24,24,24,24,24,24,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30",
     ""},
    {"Dquant", 352, 240, 30, "-c:v mpeg4 -b:v 600k -lumi_mask 0.3 -p_mask 0.3", ""},
    {"OddSize174x98", 174, 98, 30, "-c:v mpeg4 -q:v 3", kMoving},
    {"OddSize202x118", 202, 118, 30, "-c:v mpeg4 -q:v 3 -flags +mv4", kMoving},
    {"FourVectorsAtEdges", 352, 118, 40, "-c:v mpeg4 -q:v 2 -flags +mv4", kMoving},
    {"QuarterSample", 352, 240, 30, "-c:v mpeg4 -q:v 4 -flags +qpel", kMoving},
    {"QuarterSampleFourVectors", 352, 240, 30, "-c:v mpeg4 -q:v 4 -flags +qpel+mv4", kMoving},
    {"ClippedSamplesRoundingDown", 352, 240, 20, "-c:v mpeg4 -q:v 6 -flags +mv4", kClipped},
    {"Interlaced", 352, 288, 30, "-c:v mpeg4 -q:v 4 -flags +ildct+ilme", ""},
    {"InterlacedAlternateScan", 352, 288, 30, "-c:v mpeg4 -q:v 4 -flags +ildct+ilme -alternate_scan 1", ""},
    {"InterlacedQuarterSample", 352, 288, 30, "-c:v mpeg4 -q:v 6 -flags +ildct+ilme+qpel", kClipped},
    {"Interlaced720x480FourVectors", 720, 480, 20, "-c:v mpeg4 -q:v 3 -flags +ildct+ilme+mv4", kMoving},
    {"Xvid", 352, 240, 30, "-c:v libxvid -q:v 4", ""},
    {"XvidQuarterSample", 352, 240, 30, "-c:v libxvid -q:v 4 -flags +qpel", kMoving},
    {"XvidVarianceAq", 352, 240, 30, "-c:v libxvid -b:v 800k -variance_aq 1", ""},
    {"XvidMpegQuant", 352, 240, 30, "-c:v libxvid -mpeg_quant 1 -q:v 4", ""},
    {"XvidInterlaced", 704, 576, 20, "-c:v libxvid -q:v 4 -flags +ildct", ""},
    {"XvidInterlacedQuarterSample", 720, 480, 20, "-c:v libxvid -q:v 4 -flags +ildct+qpel", kMoving},
    {"XvidMpegQuantQuantiser31", 352, 240, 20, "-c:v libxvid -q:v 31 -mpeg_quant 1", kClipped},
    {"Gop150At704x576", 704, 576, 150, "-c:v mpeg4 -b:v 2M -g 150", ""},
    {"Gop150At1280x720", 1280, 720, 150, "-c:v mpeg4 -b:v 4M -g 150", ""},
    {"XvidQuarterSampleGop150At1280x720", 1280, 720, 150, "-c:v libxvid -b:v 4M -g 150 -flags +qpel", ""},
};

class Mp4DecoderAgainstFfmpeg : public testing::TestWithParam<Config> {};

TEST_P(Mp4DecoderAgainstFfmpeg, EveryPictureEqualsFfmpegs) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const Config& c = GetParam();
  ScratchDir dir(std::string("mp4_ffmpeg_") + c.name);
  const auto file = dir / "stream.m4v";
  const auto stream = EncodeMp4TestStream(file, c.width, c.height, c.frames, c.options, c.filters);
  if (!stream && std::string(c.options).find("libxvid") != std::string::npos)
    ORLENTA_ABSENT("ffmpeg without libxvid");
  ASSERT_TRUE(stream);
  const auto reference = FfmpegPictureMd5s(file);
  ASSERT_TRUE(reference);
  ASSERT_EQ(reference->size(), size_t(c.frames));

  const auto decoded = DecodeMp4Units(stream->units, c.width, c.height);
  ASSERT_EQ(decoded.size(), reference->size());
  for (size_t i = 0; i < decoded.size(); ++i) {
    ASSERT_EQ(decoded[i].result, 0) << "picture " << i;
    EXPECT_EQ(decoded[i].md5, (*reference)[i]) << "picture " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp4DecoderAgainstFfmpeg, testing::ValuesIn(kConfigs),
                         [](const testing::TestParamInfo<Config>& info) { return std::string(info.param.name); });

// B-VOPs are skipped without touching the reference: every I and P picture
// still equals FFmpeg's.
TEST(Mp4DecoderBFrames, BVopsAreSkippedAndIAndPPicturesStayExact) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("mp4_bframes");
  const auto file = dir / "stream.m4v";
  const auto stream = EncodeMp4TestStream(file, 352, 240, 30, "-c:v mpeg4 -q:v 4 -bf 2", kMoving);
  ASSERT_TRUE(stream);
  const auto reference = FfmpegPictureMd5s(file, "-skip_frame bidir");
  ASSERT_TRUE(reference);
  const auto decoded = DecodeMp4Units(stream->units, 352, 240);
  size_t refused = 0;
  for (const auto& d : decoded) {
    ASSERT_TRUE(d.result == 0 || d.result == MP4DEC_B_VOP_SKIPPED) << d.result;
    refused += d.result != 0;
  }
  EXPECT_GT(refused, 0u);
  EXPECT_EQ(PictureMd5s(decoded), *reference);
}

// libxvid packs a P-VOP and the B-VOPs it anchors into one record and sends
// a not-coded VOP in the next one: B-VOPs are skipped, the not-coded VOP
// repeats the picture before it, and the I and P pictures equal FFmpeg's.
TEST(Mp4DecoderBFrames, XvidPackedBVopsKeepIAndPPicturesExact) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("mp4_xvid_packed");
  const auto file = dir / "stream.m4v";
  const auto stream = EncodeMp4TestStream(file, 352, 240, 24, "-c:v libxvid -q:v 4 -bf 2", kMoving);
  if (!stream) ORLENTA_ABSENT("ffmpeg without libxvid");
  const auto reference = FfmpegPictureMd5s(file, "-skip_frame bidir");
  ASSERT_TRUE(reference);
  const auto decoded = DecodeMp4Units(stream->units, 352, 240);
  std::vector<std::string> pictures;
  for (const auto& d : decoded) {
    ASSERT_TRUE(d.result == 0 || d.result == MP4DEC_B_VOP_SKIPPED) << d.result;
    // A repeat is the not-coded placeholder: the source moves in every picture.
    if (d.result == 0 && (pictures.empty() || pictures.back() != d.md5)) pictures.push_back(d.md5);
  }
  EXPECT_EQ(pictures, *reference);
}

// Streams the decoder does not support give result codes and never a wrong
// picture: whatever decodes equals FFmpeg's picture.
TEST(Mp4DecoderUnsupported, NoWrongPictureAndNoCrash) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  struct Case {
    const char* name;
    int width, height;  // of the decoder; the stream is 352 x 240 or 176 x 144
    int streamWidth, streamHeight;
    const char* options;
  };
  const Case cases[] = {
      {"DataPartitioning", 352, 240, 352, 240, "-c:v mpeg4 -q:v 4 -data_partitioning 1"},
      {"VideoPackets", 352, 240, 352, 240, "-c:v mpeg4 -q:v 4 -ps 600"},
      {"GlobalMotion", 352, 240, 352, 240, "-c:v libxvid -q:v 4 -gmc 1 -flags +qpel"},
      {"SmallerStreamThanDecoder", 352, 288, 176, 144, "-c:v mpeg4 -q:v 4"},
  };
  for (const Case& c : cases) {
    ScratchDir dir(std::string("mp4_unsupported_") + c.name);
    const auto file = dir / "stream.m4v";
    const auto stream = EncodeMp4TestStream(file, c.streamWidth, c.streamHeight, 12, c.options, kMoving);
    if (!stream) continue;  // libxvid absent
    const auto reference = FfmpegPictureMd5s(file);
    ASSERT_TRUE(reference) << c.name;
    const auto decoded = DecodeMp4Units(stream->units, c.width, c.height);
    ASSERT_EQ(decoded.size(), reference->size()) << c.name;
    int pictures = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
      if (decoded[i].result != 0) continue;
      ++pictures;
      EXPECT_EQ(decoded[i].md5, (*reference)[i]) << c.name << " picture " << i;
    }
    EXPECT_LT(pictures, int(decoded.size())) << c.name << ": expected refusals";
  }
}

// A layer that never sends its VOL decodes with the stream defaults the
// caller sets.
TEST(Mp4DecoderDefaults, VopsWithoutAnyVolDecodeWithTheCallersDefaults) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("mp4_no_vol");
  const auto file = dir / "stream.m4v";
  // 29.97 pictures per second: a time increment resolution of 30000.
  const auto stream = EncodeMp4TestStream(file, 352, 240, 20, "-c:v mpeg4 -q:v 4", "", "30000/1001");
  ASSERT_TRUE(stream);
  const auto reference = FfmpegPictureMd5s(file);
  ASSERT_TRUE(reference);

  auto units = stream->units;
  const auto vop = VopFieldsPosition(units[0]);
  ASSERT_TRUE(vop);
  units[0].erase(units[0].begin(), units[0].begin() + ptrdiff_t(*vop / 8 - 4));
  const Mp4VolDefaults defaults{0, 30000, 5, 1, 0};
  EXPECT_EQ(PictureMd5s(DecodeMp4Units(units, 352, 240, &defaults)), *reference);
}

// A second VOL with MPEG quantisation that loads no matrix goes back to the
// default matrices; the first VOL's loaded ones do not carry over.
TEST(Mp4DecoderMatrices, SecondVolWithoutMatricesUsesTheDefaults) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("mp4_matrix_reset");
  const std::string flat = "16";
  std::string intra, inter;
  for (int i = 0; i < 64; ++i) {
    intra += (i ? "," : "") + std::to_string(8 + i);
    inter += (i ? "," : "") + std::to_string(40 - i / 4);
  }
  const auto loaded = EncodeMp4TestStream(dir / "a.m4v", 352, 240, 8,
                                          "-c:v mpeg4 -mpeg_quant 1 -q:v 3 -intra_matrix " + intra +
                                              " -inter_matrix " + inter);
  const auto plain = EncodeMp4TestStream(dir / "b.m4v", 352, 240, 8, "-c:v mpeg4 -mpeg_quant 1 -q:v 3");
  ASSERT_TRUE(loaded && plain);
  auto expected = *FfmpegPictureMd5s(dir / "a.m4v");
  const auto second = *FfmpegPictureMd5s(dir / "b.m4v");
  expected.insert(expected.end(), second.begin(), second.end());

  auto units = loaded->units;
  units.insert(units.end(), plain->units.begin(), plain->units.end());
  EXPECT_EQ(PictureMd5s(DecodeMp4Units(units, 352, 240)), expected);
}

}  // namespace
