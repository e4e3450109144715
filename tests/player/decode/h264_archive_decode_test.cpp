// H.264 streams muxed into archives with vyxmux and decoded with vyxdecode
// the way the video box decodes them, picture by picture against an
// independent reference: the conformance suite's streams against FFmpeg's
// per-frame md5s, and libx264 streams made here against `ffmpeg -f framemd5`
// of the same stream.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "codecs/pixels/yuv_scalar.h"
#include "tests/player/h264_test_streams.h"
#include "tests/player/vyxdecode_run.h"
#include "tests/support/archive_records.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {
namespace fs = std::filesystem;
using testing_support::BuiltTool;
using vyxdecode_run::Md5sOf;
using vyxdecode_run::ParseDecodeOutput;
using testing_support::RunOutput;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

std::optional<std::vector<vyxdecode_run::Picture>> MuxAndDecode(const fs::path& stream, const fs::path& archive,
                                                                const std::string& muxOptions = "",
                                                                const std::string& environment = "") {
  return vyxdecode_run::MuxAndDecode("--h264", stream, archive, muxOptions, environment);
}

class ConformanceStream : public testing::TestWithParam<const char*> {};

TEST_P(ConformanceStream, PicturesEqualFfmpegsFrameMd5s) {
  const std::string name = GetParam();
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/" + name);
  ORLENTA_REQUIRE_TESTDATA(reference, "h264_framemd5/" + name + ".framemd5");
  testing_support::ScratchDir scratch("h264_conformance");
  const auto pictures = MuxAndDecode(stream, scratch / "stream.vyx");
  ASSERT_TRUE(pictures) << "vyxmux or vyxdecode failed";
  const auto expected = testing_support::ReadFrameMd5s(reference);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Md5sOf(*pictures), expected);
}

// The suite's streams (ITU-T H.264.1) and three robustness streams.  CVFC1
// crops at odd offsets; its reference is FFmpeg with exact crops (-flags
// unaligned), which is what the adapter asks for.
INSTANTIATE_TEST_SUITE_P(
    H264, ConformanceStream,
    testing::Values("BA1_FT_C.264", "BA1_Sony_D.jsv", "BAMQ1_JVC_C.264", "BAMQ2_JVC_C.264", "BANM_MW_D.264",
                    "BASQP1_Sony_C.jsv", "BA_MW_D.264", "BA_MW_D_P_LOST.264", "CI1_FT_B.264", "CI_MW_D.264",
                    "CVFC1_Sony_C.jsv", "CVPCMNL1_SVA_C.264", "LS_SVA_D.264", "MIDR_MW_D.264", "MPS_MW_A.264",
                    "MR1_BT_A.h264", "MR1_MW_A.264", "MR2_MW_A.264", "MR2_TANDBERG_E.264", "NL1_Sony_D.jsv",
                    "NLMQ1_JVC_C.264", "NLMQ2_JVC_C.264", "NRF_MW_E.264", "QCIF_2P_I_allIPCM.264", "SVA_BA1_B.264",
                    "SVA_BA2_D.264", "SVA_Base_B.264", "SVA_CL1_E.264", "SVA_FM1_E.264", "SVA_NL1_B.264",
                    "SVA_NL2_E.264"),
    [](const testing::TestParamInfo<const char*>& info) {
      std::string name = info.param;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// A stream whose IDR picture is lost has no key frame, so the video box
// never starts on it.  Muxed with every record marked as a key frame, the
// decoder starts at once and, like FFmpeg, shows the pictures from its
// recovery point on.
TEST(H264ArchiveDecode, StreamWithoutItsIdrPicture) {
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/BA_MW_D_IDR_LOST.264");
  ORLENTA_REQUIRE_TESTDATA(reference, "h264_framemd5/BA_MW_D_IDR_LOST.264.framemd5");
  testing_support::ScratchDir scratch("h264_idr_lost");
  // Without its IDR picture nothing passes the key-frame gate: no picture,
  // which vyxdecode tells with exit status 1.
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", stream, scratch / "gated.vyx"));
  const auto gated = vyxdecode_run::DecodeArchive(scratch / "gated.vyx", "--planes");
  EXPECT_EQ(gated.status, 1);
  EXPECT_TRUE(gated.pictures.empty());
  const auto pictures = MuxAndDecode(stream, scratch / "keys.vyx", "--type 133");
  ASSERT_TRUE(pictures);
  EXPECT_EQ(Md5sOf(*pictures), testing_support::ReadFrameMd5s(reference));
}

// Error_I_P changes its picture size twice and has damaged pictures.  The
// stored reference shows every picture scaled to the first size (ffmpeg's
// tool does that, the player does not), and FFmpeg conceals damage a little
// differently with slice threads than without; so the reference here is
// ffmpeg without scaling, both with one thread and with slice threads, and
// the stored md5s of the pictures at the first size.
TEST(H264ArchiveDecode, StreamThatChangesSizeAndIsDamaged) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/Error_I_P.264");
  ORLENTA_REQUIRE_TESTDATA(reference, "h264_framemd5/Error_I_P.264.framemd5");
  testing_support::ScratchDir scratch("h264_error_i_p");
  auto unscaled = [&](const std::string& flags) {
    return testing_support::FfmpegFrameMd5s(stream, flags, "-autoscale 0");
  };
  const auto single = MuxAndDecode(stream, scratch / "single.vyx", "", "NUMBER_OF_PROCESSORS=1");
  ASSERT_TRUE(single);
  EXPECT_EQ(Md5sOf(*single), unscaled("-threads 1"));
  const auto sliced = MuxAndDecode(stream, scratch / "sliced.vyx", "", "NUMBER_OF_PROCESSORS=4");
  ASSERT_TRUE(sliced);
  EXPECT_EQ(Md5sOf(*sliced), unscaled("-threads 4 -thread_type slice"));

  const auto stored = testing_support::ReadFrameMd5s(reference);
  ASSERT_EQ(stored.size(), single->size());
  int sameSize = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    if ((*single)[i].width != 352 || (*single)[i].height != 288) continue;
    EXPECT_EQ((*single)[i].md5, stored[i]) << "picture " << i;
    ++sameSize;
  }
  EXPECT_EQ(sameSize, 4);
}

struct X264Case {
  const char* name;
  const char* size;
  int frames;
  const char* encoder;
};

class X264Stream : public testing::TestWithParam<X264Case> {};

TEST_P(X264Stream, PicturesEqualFfmpegsFrameMd5s) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const X264Case& c = GetParam();
  testing_support::ScratchDir scratch(std::string("h264_x264_") + c.name);
  const auto stream = h264_test::Encode(scratch, c.name, c.size, c.frames, c.encoder);
  ASSERT_TRUE(stream) << "libx264 encode failed: " << c.encoder;
  const auto expected = testing_support::FfmpegFrameMd5s(stream->file);
  ASSERT_EQ(expected.size(), size_t(c.frames));
  const auto pictures = MuxAndDecode(stream->file, scratch / "stream.vyx");
  ASSERT_TRUE(pictures) << "vyxmux or vyxdecode failed";
  // One picture per frame, each from its own record.
  ASSERT_EQ(pictures->size(), expected.size());
  for (size_t i = 0; i < pictures->size(); ++i) {
    EXPECT_EQ((*pictures)[i].record, i);
    EXPECT_EQ((*pictures)[i].md5, expected[i]) << "picture " << i;
  }
  EXPECT_EQ((*pictures)[0].type, 133);
  EXPECT_EQ(std::to_string((*pictures)[0].width) + "x" + std::to_string((*pictures)[0].height), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    H264, X264Stream,
    testing::Values(
        X264Case{"baseline", "352x288", 30, "-c:v libx264 -profile:v baseline -g 12"},
        X264Case{"main_cavlc", "352x288", 30, "-c:v libx264 -profile:v main -bf 0 -x264-params cabac=0 -g 12"},
        X264Case{"main_cabac", "352x288", 30, "-c:v libx264 -profile:v main -bf 0 -x264-params cabac=1 -g 12"},
        X264Case{"slices", "352x288", 20, "-c:v libx264 -profile:v main -bf 0 -x264-params slices=6 -g 10"},
        X264Case{"refs16", "352x288", 40, "-c:v libx264 -profile:v high -bf 0 -refs 16 -g 40"},
        X264Case{"odd_size", "202x118", 20, "-c:v libx264 -profile:v main -bf 0 -g 8"},
        X264Case{"hd1080", "1920x1080", 8, "-c:v libx264 -preset veryfast -bf 0 -g 4"}),
    [](const testing::TestParamInfo<X264Case>& info) { return std::string(info.param.name); });

// With B-frames FFmpeg holds pictures back by its reorder depth: the first
// frames give none, every later frame one, and the last ones come out when
// the archive ends (drawn with its last record); all in the stream's order.
TEST(H264ArchiveDecode, BFramesComeOutLateButInOrder) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_bframes");
  const auto stream = h264_test::Encode(scratch, "bframes", "176x144", 24, "-c:v libx264 -profile:v main -bf 2 -g 12");
  ASSERT_TRUE(stream);
  const auto expected = testing_support::FfmpegFrameMd5s(stream->file);
  const auto pictures = MuxAndDecode(stream->file, scratch / "stream.vyx");
  ASSERT_TRUE(pictures);
  ASSERT_EQ(Md5sOf(*pictures), expected);
  const size_t last = expected.size() - 1;
  size_t delay = 0;
  while (delay < pictures->size() && (*pictures)[pictures->size() - 1 - delay].record == last) ++delay;
  --delay;  // the last record's own picture
  EXPECT_GE(delay, 1u);
  EXPECT_LE(delay, 2u);
  for (size_t i = 0; i + delay < pictures->size(); ++i) EXPECT_EQ((*pictures)[i].record, i + delay) << i;
}

// A stream whose reorder depth grows in the middle (pictures without
// B-frames, then with them: FFmpeg learns the deeper reorder buffer only
// there) holds one more picture at the end than at its start; the end of
// the archive gives every one of them.
TEST(H264ArchiveDecode, ReorderDepthGrowingMidStreamLosesNoPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_growing_reorder");
  const auto flat = h264_test::Encode(scratch, "flat", "176x144", 10, "-c:v libx264 -profile:v main -bf 0 -g 10");
  const auto reordered =
      h264_test::Encode(scratch, "reordered", "176x144", 14, "-c:v libx264 -profile:v main -bf 2 -g 14");
  ASSERT_TRUE(flat && reordered);
  const fs::path joined = scratch / "joined.h264";
  std::vector<uint8_t> bytes = testing_support::ReadFile(flat->file);
  const std::vector<uint8_t> second = testing_support::ReadFile(reordered->file);
  bytes.insert(bytes.end(), second.begin(), second.end());
  testing_support::WriteFile(joined, bytes);
  const auto expected = testing_support::FfmpegFrameMd5s(joined);
  ASSERT_EQ(expected.size(), 24u);
  const auto pictures = MuxAndDecode(joined, scratch / "stream.vyx");
  ASSERT_TRUE(pictures);
  EXPECT_EQ(Md5sOf(*pictures), expected);
}

// An archive cut off in the middle of a record: the reader hands out the
// short payload and the decoder takes it without harm (a cut that leaves no
// picture at all ends in exit status 1, as any archive without one does).
TEST(H264ArchiveDecode, ArchiveCutInsideARecord) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_cut");
  const auto stream = h264_test::Encode(scratch, "cut", "176x144", 6, "-c:v libx264 -profile:v baseline");
  ASSERT_TRUE(stream);
  const fs::path archive = scratch / "stream.vyx";
  ASSERT_TRUE(MuxAndDecode(stream->file, archive));
  const auto bytes = testing_support::ReadFile(archive);
  const auto expected = testing_support::FfmpegFrameMd5s(stream->file);
  for (size_t cut : {bytes.size() - 7, bytes.size() / 2, size_t{48 + 20}}) {
    testing_support::WriteFile(archive, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    const auto run = vyxdecode_run::DecodeArchive(archive, "--planes");
    const auto& pictures = run.pictures;
    EXPECT_EQ(run.status, pictures.empty() ? 1 : 0) << "vyxdecode on an archive cut at " << cut;
    // Whole records before the cut still decode as before.
    for (size_t i = 0; i + 1 < pictures.size(); ++i) EXPECT_EQ(pictures[i].md5, expected[i]) << "cut " << cut;
  }
}

// vyxdecode keeps the player's picture-size limits: a header that claims
// 65535 x 65535 pixels costs no buffers and ends nothing; the archive's
// good record after it still decodes.
TEST(H264ArchiveDecode, ImpossiblePictureSizeIsDropped) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_huge_header");
  const auto stream = h264_test::Encode(scratch, "huge", "64x48", 1, "-c:v libx264");
  ASSERT_TRUE(stream);
  const fs::path archive = scratch / "huge.vyx";
  testing_support::ArchiveRecord huge{MakeFrameHeader(FRAME_TYPE_H264_I), std::vector<uint8_t>(16, 0)};
  huge.header.width = huge.header.height = 65535;
  testing_support::ArchiveRecord good{MakeFrameHeader(FRAME_TYPE_H264_I), stream->accessUnits[0]};
  good.header.width = 64;
  good.header.height = 48;
  ASSERT_TRUE(testing_support::WriteArchive(archive, {huge, good}));
  const auto output = RunOutput(Quote(BuiltTool("tools/vyxdecode/vyxdecode")) + " " +
                                Quote(archive) + " --planes");
  ASSERT_TRUE(output) << "vyxdecode failed";
  const auto pictures = ParseDecodeOutput(*output);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].record, 1u);
  EXPECT_EQ(pictures[0].md5, testing_support::FfmpegFrameMd5s(stream->file).at(0));
}

// FFmpeg's pictures are bounded by the record header, a macroblock more
// on each side: a 1080-line header over 1088 coded lines (what encoders
// write for 1080 lines, here without the cropping) still plays in full.
TEST(H264ArchiveDecode, CodedLinesPastTheHeaderWithinAMacroblockPlay) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("h264_1088");
  const auto stream =
      h264_test::Encode(scratch, "tall", "1920x1088", 2, "-c:v libx264 -preset ultrafast -profile:v baseline");
  ASSERT_TRUE(stream);
  const fs::path archive = scratch / "tall.vyx";
  std::vector<testing_support::ArchiveRecord> records;
  for (size_t i = 0; i < stream->accessUnits.size(); ++i) {
    const uint8_t type = i == 0 ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P;
    records.push_back({MakeFrameHeader(type, 0, static_cast<uint32_t>(i) * 40000), stream->accessUnits[i]});
    records.back().header.width = 1920;
    records.back().header.height = 1080;
  }
  ASSERT_TRUE(testing_support::WriteArchive(archive, records));
  const auto output = RunOutput(Quote(BuiltTool("tools/vyxdecode/vyxdecode")) + " " + Quote(archive) + " --planes");
  ASSERT_TRUE(output) << "vyxdecode failed";
  const auto pictures = ParseDecodeOutput(*output);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0].height, 1088);
  EXPECT_EQ(Md5sOf(pictures), testing_support::FfmpegFrameMd5s(stream->file));
}

// Without --planes the md5 is of the front's RGB32 picture: FFmpeg's own
// yuv420p pictures through the scalar converter give the same bytes.
TEST(H264ArchiveDecode, Rgb32PicturesAreFfmpegsPlanesThroughTheScalarConverter) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  constexpr int kWidth = 98, kHeight = 62, kFrames = 4;
  testing_support::ScratchDir scratch("h264_rgb");
  const auto stream = h264_test::Encode(scratch, "rgb", "98x62", kFrames, "-c:v libx264 -profile:v baseline");
  ASSERT_TRUE(stream);
  ASSERT_TRUE(MuxAndDecode(stream->file, scratch / "stream.vyx"));
  const auto output = RunOutput(Quote(BuiltTool("tools/vyxdecode/vyxdecode")) + " " + Quote(scratch / "stream.vyx"));
  ASSERT_TRUE(output);
  const auto pictures = ParseDecodeOutput(*output);
  ASSERT_EQ(pictures.size(), size_t(kFrames));

  const fs::path raw = scratch / "planes.yuv";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -v error -i " + Quote(stream->file) +
                                 " -f rawvideo -pix_fmt yuv420p " + Quote(raw)),
            0);
  const auto planes = testing_support::ReadFile(raw);
  const size_t lumaBytes = kWidth * kHeight, chromaBytes = (kWidth / 2) * (kHeight / 2);
  ASSERT_EQ(planes.size(), kFrames * (lumaBytes + 2 * chromaBytes));
  for (int i = 0; i < kFrames; ++i) {
    const uint8_t* y = planes.data() + i * (lumaBytes + 2 * chromaBytes);
    std::vector<uint8_t> rgb(lumaBytes * 4);
    yuv_scalar::YuvToRgb32(y, kWidth, y + lumaBytes, y + lumaBytes + chromaBytes, kWidth / 2, rgb.data(), kWidth,
                           kHeight, kWidth);
    EXPECT_EQ(pictures[i].width, kWidth);
    EXPECT_EQ(pictures[i].height, kHeight);
    EXPECT_EQ(pictures[i].md5, testing_support::Md5Hex(rgb)) << "picture " << i;
  }
}

}  // namespace
