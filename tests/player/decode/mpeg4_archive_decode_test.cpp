// MPEG-4 Part 2 streams made here by FFmpeg's mpeg4 encoder and libxvid,
// muxed into archives with vyxmux and decoded with vyxdecode the way the
// video box decodes them: every picture's planes against FFmpeg's decode
// of the same stream (x86-64 xvid IDCT, one thread).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/player/vyxdecode_run.h"
#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::ScratchDir;
using vyxdecode_run::Md5sOf;

// Motion everywhere, towards and past the edges.
constexpr const char* kMoving = "scroll=v=-0.05:h=0.03,rotate=-0.05*t";

std::string Ramp(int first, int step) {
  std::string values;
  for (int i = 0; i < 64; ++i) values += (i ? "," : "") + std::to_string(first + i * step / 4);
  return values;
}

struct Config {
  const char* name;
  int width, height, frames;
  std::string options;
  const char* filters;
};

const Config kConfigs[] = {
    {"IntraOnly352x240", 352, 240, 10, "-c:v mpeg4 -g 1 -q:v 4", ""},
    {"Quantiser1", 352, 240, 10, "-c:v mpeg4 -q:v 1", kMoving},
    {"Quantiser31", 352, 240, 20, "-c:v mpeg4 -q:v 31", kMoving},
    {"OddSize174x98", 174, 98, 30, "-c:v mpeg4 -q:v 3 -flags +mv4", kMoving},
    {"MpegQuantLoadedMatrices720x480", 720, 480, 12,
     "-c:v mpeg4 -mpeg_quant 1 -q:v 4 -intra_matrix " + Ramp(8, 4) + " -inter_matrix " + Ramp(16, 2), kMoving},
    {"Dquant720x480", 720, 480, 20, "-c:v mpeg4 -b:v 1500k -lumi_mask 0.3 -p_mask 0.3", kMoving},
    {"QuarterSampleFourVectors", 352, 240, 20, "-c:v mpeg4 -q:v 4 -flags +qpel+mv4", kMoving},
    {"InterlacedAlternateScan704x576", 704, 576, 12, "-c:v mpeg4 -q:v 4 -flags +ildct+ilme -alternate_scan 1",
     kMoving},
    {"InterlacedQuarterSample", 352, 288, 12, "-c:v mpeg4 -q:v 5 -flags +ildct+ilme+qpel", kMoving},
    {"XvidVarianceAqMpegQuant", 352, 240, 20, "-c:v libxvid -b:v 800k -variance_aq 1 -mpeg_quant 1", kMoving},
    {"XvidQuarterSampleInterlaced720x480", 720, 480, 12, "-c:v libxvid -q:v 4 -flags +ildct+qpel", kMoving},
    {"Gop150At704x576", 704, 576, 150, "-c:v mpeg4 -b:v 2M -g 150", ""},
    {"XvidQuarterSampleGop150At1280x720", 1280, 720, 150, "-c:v libxvid -b:v 4M -g 150 -flags +qpel", ""},
};

bool UsesXvid(const std::string& options) { return options.find("libxvid") != std::string::npos; }

class Mpeg4Archive : public testing::TestWithParam<Config> {};

TEST_P(Mpeg4Archive, PlanesEqualFfmpegsPictureForPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const Config& c = GetParam();
  ScratchDir dir(std::string("mp4_archive_") + c.name);
  const fs::path file = dir / "stream.m4v";
  const auto stream = EncodeMp4TestStream(file, c.width, c.height, c.frames, c.options, c.filters);
  if (!stream && UsesXvid(c.options)) ORLENTA_ABSENT("ffmpeg without libxvid");
  ASSERT_TRUE(stream);
  const auto reference = FfmpegPictureMd5s(file);
  ASSERT_TRUE(reference);
  ASSERT_EQ(reference->size(), size_t(c.frames));

  const auto pictures = vyxdecode_run::MuxAndDecode("--mpeg4", file, dir / "stream.vyx");
  ASSERT_TRUE(pictures) << "vyxmux or vyxdecode failed";
  ASSERT_EQ(pictures->size(), reference->size());
  for (size_t i = 0; i < pictures->size(); ++i) {
    const auto& p = (*pictures)[i];
    EXPECT_EQ(p.record, i);
    EXPECT_TRUE(p.type == 129 || p.type == 130) << "picture " << i;
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.md5, (*reference)[i]) << "picture " << i;
  }
  EXPECT_EQ(pictures->front().type, 129);
}

INSTANTIATE_TEST_SUITE_P(Streams, Mpeg4Archive, testing::ValuesIn(kConfigs),
                         [](const testing::TestParamInfo<Config>& info) { return std::string(info.param.name); });

// Recorders that never send a VOL: the archive's size and the front's
// defaults stand in for it, interlacing included for the D1 sizes.
TEST(Mpeg4ArchiveDecode, VopsWithoutAnyVolDecodeWithTheFrontsDefaults) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  struct Case {
    const char* name;
    int width, height;
    const char* options;
  };
  const Case cases[] = {
      {"progressive", 352, 240, "-c:v mpeg4 -q:v 4 -flags +mv4"},
      {"interlaced", 720, 480, "-c:v mpeg4 -q:v 4 -flags +ildct+ilme"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir(std::string("mp4_archive_no_vol_") + c.name);
    const fs::path file = dir / "stream.m4v";
    // 29.97 pictures per second: the default time increment resolution of 30000.
    const auto stream = EncodeMp4TestStream(file, c.width, c.height, 15, c.options, kMoving, "30000/1001");
    ASSERT_TRUE(stream);
    const auto reference = FfmpegPictureMd5s(file);
    ASSERT_TRUE(reference);
    const auto vop = VopFieldsPosition(stream->bytes);
    ASSERT_TRUE(vop);
    const fs::path bare = dir / "bare.m4v";
    testing_support::WriteFile(bare, std::vector<uint8_t>(stream->bytes.begin() + ptrdiff_t(*vop / 8 - 4),
                                                          stream->bytes.end()));
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const auto pictures = vyxdecode_run::MuxAndDecode("--mpeg4", bare, dir / "stream.vyx", "--size " + size);
    ASSERT_TRUE(pictures) << "vyxmux or vyxdecode failed";
    EXPECT_EQ(Md5sOf(*pictures), *reference);
  }
}

// B-VOPs (FFmpeg's, and libxvid's packed behind their P-VOP) draw nothing
// and leave the reference alone: the I and P pictures equal FFmpeg's.
TEST(Mpeg4ArchiveDecode, BVopsDrawNothingAndIAndPPicturesStayExact) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  for (const char* options : {"-c:v mpeg4 -q:v 4 -bf 2", "-c:v libxvid -q:v 4 -bf 2"}) {
    SCOPED_TRACE(options);
    ScratchDir dir("mp4_archive_bframes");
    const fs::path file = dir / "stream.m4v";
    const auto stream = EncodeMp4TestStream(file, 352, 240, 24, options, kMoving);
    if (!stream && UsesXvid(options)) ORLENTA_ABSENT("ffmpeg without libxvid");
    ASSERT_TRUE(stream);
    const auto reference = FfmpegPictureMd5s(file, "-skip_frame bidir");
    ASSERT_TRUE(reference);
    const auto pictures = vyxdecode_run::MuxAndDecode("--mpeg4", file, dir / "stream.vyx");
    ASSERT_TRUE(pictures);
    std::vector<std::string> distinct;
    // libxvid's not-coded placeholder repeats the picture before it.
    for (const auto& p : *pictures)
      if (distinct.empty() || distinct.back() != p.md5) distinct.push_back(p.md5);
    EXPECT_EQ(distinct, *reference);
    EXPECT_LT(pictures->size(), size_t(24));
  }
}

// The stream of one encode and FFmpeg's picture of each of its records.
struct Encoded {
  fs::path file;
  std::vector<uint8_t> bytes;
  std::vector<std::string> reference;
};

std::optional<Encoded> Encode(const fs::path& file, int frames, const std::string& options, const char* filters) {
  const auto stream = EncodeMp4TestStream(file, 352, 240, frames, options, filters);
  if (!stream) return std::nullopt;
  const auto reference = FfmpegPictureMd5s(file);
  if (!reference || reference->size() != size_t(frames)) return std::nullopt;
  return Encoded{file, stream->bytes, *reference};
}

// FFmpeg's mpeg4 encoder writes video packets (resync markers) with slice
// threads and with -ps: such VOPs are refused, and nothing predicted from
// them is shown.  Each record is told once, as refused or withheld, and an
// archive of which no picture is shown ends in exit status 1.  The same
// content encoded without packets shows every picture.
TEST(Mpeg4ArchiveDecode, VideoPacketsAreRefusedAndNothingPredictedFromThemIsShown) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  // The first picture of the source, held: the P-VOPs are small enough to
  // carry no packet, only the I-VOPs are split.
  constexpr const char* kStill = "loop=loop=-1:size=1:start=0";
  struct Case {
    const char* name;
    std::string options;
    const char* filters;
    bool shown;
  };
  const Case cases[] = {
      {"SliceThreads", "-c:v mpeg4 -q:v 4 -threads 4", kMoving, false},
      {"PacketSize500Still", "-c:v mpeg4 -q:v 4 -ps 500", kStill, false},
      {"OneThread", "-c:v mpeg4 -q:v 4 -threads 1", kMoving, true},
  };
  constexpr int kFrames = 24;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir(std::string("mp4_archive_packets_") + c.name);
    const auto encoded = Encode(dir / "stream.m4v", kFrames, c.options, c.filters);
    ASSERT_TRUE(encoded);
    ASSERT_TRUE(vyxdecode_run::Mux("--mpeg4", encoded->file, dir / "stream.vyx"));
    const auto run = vyxdecode_run::DecodeArchive(dir / "stream.vyx", "--planes");
    if (c.shown) {
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(Md5sOf(run.pictures), encoded->reference);
      EXPECT_TRUE(run.told.empty());
      EXPECT_TRUE(run.otherErrors.empty());
      continue;
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.pictures.empty());
    ASSERT_EQ(run.told.size(), size_t(kFrames));
    for (size_t i = 0; i < run.told.size(); ++i) {
      const auto& t = run.told[i];
      EXPECT_EQ(t.record, i);
      if (t.type == 129) {
        EXPECT_EQ(t.verdict + " " + t.code + " " + t.meaning, "refused 119 video packets (resync markers)");
      } else {
        EXPECT_EQ(t.verdict + " " + t.code, "withheld 121") << i;
      }
    }
    EXPECT_EQ(run.otherErrors.size(), 1u);
  }
}

// An archive whose first stream is refused and whose second, with a VOL of
// its own, is not: every picture shown is FFmpeg's picture of its record,
// and the refused part is told record by record.
TEST(Mpeg4ArchiveDecode, PicturesAfterRefusedVideoPacketsAreFfmpegsOwn) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("mp4_archive_packets_then_plain");
  const auto refused = Encode(dir / "packets.m4v", 12, "-c:v mpeg4 -q:v 4 -threads 4", kMoving);
  const auto plain = Encode(dir / "plain.m4v", 12, "-c:v mpeg4 -q:v 4 -threads 1", kMoving);
  ASSERT_TRUE(refused && plain);
  std::vector<uint8_t> both = refused->bytes;
  both.insert(both.end(), plain->bytes.begin(), plain->bytes.end());
  const fs::path file = dir / "both.m4v";
  testing_support::WriteFile(file, both);
  const auto reference = FfmpegPictureMd5s(file);
  ASSERT_TRUE(reference);
  ASSERT_EQ(reference->size(), size_t(24));
  ASSERT_TRUE(vyxdecode_run::Mux("--mpeg4", file, dir / "both.vyx"));
  const auto run = vyxdecode_run::DecodeArchive(dir / "both.vyx", "--planes");
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.pictures.size(), size_t(12));
  for (const auto& p : run.pictures) {
    ASSERT_GE(p.record, size_t(12));
    EXPECT_EQ(p.md5, (*reference)[p.record]) << "record " << p.record;
  }
  ASSERT_EQ(run.told.size(), size_t(12));
  for (size_t i = 0; i < run.told.size(); ++i) EXPECT_EQ(run.told[i].record, i);
}

}  // namespace
