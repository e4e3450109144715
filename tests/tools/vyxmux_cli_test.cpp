// The vyxmux tool end to end: archives read back record by record.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "player/archive/vyx_format.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/support/test_support.h"
#include "tests/tools/ffmpeg_reference.h"
#include "tools/vyxmux/annexb_splitter.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

struct Record {
  VYX_FRAME_HEADER header;
  std::vector<uint8_t> payload;
};

std::vector<Record> ReadArchive(const fs::path& path) {
  const std::vector<uint8_t> file = ReadFile(path);
  std::vector<Record> records;
  size_t pos = 0;
  while (pos + VYX_HEADER_SIZE <= file.size()) {
    Record record{ParseFrameHeader(&file[pos]), {}};
    pos += VYX_HEADER_SIZE;
    if (record.header.length > file.size() - pos) break;
    record.payload.assign(file.begin() + static_cast<std::ptrdiff_t>(pos),
                          file.begin() + static_cast<std::ptrdiff_t>(pos + record.header.length));
    pos += record.header.length;
    records.push_back(std::move(record));
  }
  EXPECT_EQ(pos, file.size()) << "the archive does not end with a whole record";
  return records;
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

int RunVyxmux(const std::string& args, std::string* errors = nullptr, const fs::path& scratch = {}) {
  const fs::path tool = testing_support::BuiltTool("tools/vyxmux/vyxmux");
  if (!errors) return testing_support::Run(Quoted(tool) + " " + args + " >/dev/null");
  const fs::path errorFile = scratch / "stderr.txt";
  const int status = testing_support::Run(Quoted(tool) + " " + args + " >/dev/null 2>" + Quoted(errorFile));
  const auto bytes = ReadFile(errorFile);
  errors->assign(bytes.begin(), bytes.end());
  return status;
}

std::vector<uint8_t> RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

struct Expected {
  uint8_t type;
  uint64_t offsetUsec;
  std::vector<uint8_t> payload;
  uint16_t width = 0;
  uint16_t height = 0;
};

void ExpectRecordTime(const VYX_FRAME_HEADER& header, uint32_t start, uint64_t offsetUsec) {
  EXPECT_EQ(header.time, start + offsetUsec / 1000000);
  EXPECT_EQ(header.usec, offsetUsec % 1000000);
}

// Video at 25 fps and two audio tracks at their byte rates, merged by time
// with video first on equal times; every field from the command line.
TEST(VyxmuxCli, H264AndAudioTracksInterleavedByTime) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxmux-av");
  const fs::path video = dir / "video.264";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25 -frames:v 10 -c:v libx264 -g 5 -bf 0 " +
                        Quoted(video)));
  const std::vector<uint8_t> adpcm = RandomBytes(6 * 256, 1);
  const std::vector<uint8_t> voice = RandomBytes(1000, 2);
  testing_support::WriteFile(dir / "adpcm.raw", adpcm);
  testing_support::WriteFile(dir / "voice.raw", voice);
  const fs::path archive = dir / "out.vyx";
  // 8 kHz IMA ADPCM: 256-byte blocks of 505 samples, so 512 bytes last 126250 us.
  ASSERT_EQ(RunVyxmux("-o " + Quoted(archive) + " --h264 " + Quoted(video) + " --audio 145:" +
                      Quoted(dir / "adpcm.raw") + ":512:2048000/505 --audio 147:" + Quoted(dir / "voice.raw") +
                      ":320:500 --channel 37 --title 'Lobby cam' --flag 7 --start 1700000123 --fps 25"),
            0);

  std::vector<Expected> expected;
  const auto units = SplitAnnexB(ReadFile(video));
  ASSERT_EQ(units.size(), 10u);
  for (size_t i = 0; i < units.size(); ++i) {
    expected.push_back({static_cast<uint8_t>(i % 5 == 0 ? 133 : 134), i * 40000, units[i].bytes, 160, 120});
  }
  for (size_t k = 0; k < 3; ++k) {
    expected.push_back({145, k * 126250, {adpcm.begin() + 512 * k, adpcm.begin() + 512 * (k + 1)}});
  }
  for (size_t k = 0; k < 4; ++k) {  // 320 bytes last 0.64 s; the last chunk holds 40 bytes
    expected.push_back({147, k * 640000, {voice.begin() + 320 * k, voice.begin() + std::min<size_t>(1000, 320 * (k + 1))}});
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [](const Expected& a, const Expected& b) { return a.offsetUsec < b.offsetUsec; });

  const auto records = ReadArchive(archive);
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const VYX_FRAME_HEADER& header = records[i].header;
    EXPECT_EQ(header.magic, VYX_FRAME_MAGIC);
    EXPECT_EQ(header.type, expected[i].type);
    ExpectRecordTime(header, 1700000123, expected[i].offsetUsec);
    EXPECT_EQ(header.width, expected[i].width);
    EXPECT_EQ(header.height, expected[i].height);
    EXPECT_EQ(header.channel, 37);
    EXPECT_EQ(TitleOf(header), "Lobby cam");
    EXPECT_EQ(header.frameFlag, 7);
    EXPECT_EQ(header.length, expected[i].payload.size());
    EXPECT_TRUE(records[i].payload == expected[i].payload);
  }
}

// Interlaced video: a record per frame FFmpeg outputs, a field pair's two
// field pictures in one record.  FFmpeg reports each frame with the
// position of the packet that completed it, which must lie in the record.
TEST(VyxmuxCli, FieldPairsShareARecord) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  testing_support::ScratchDir dir("vyxmux-fields");
  for (const char* name : {"mixed_cif", "pairs_bottom_576", "pairs_long_term_poc0_bottom_cif"}) {
    SCOPED_TRACE(name);
    const auto& streams = avc_test::FieldStreams();
    const auto stream = std::find_if(streams.begin(), streams.end(),
                                     [&](const avc_test::FieldStream& s) { return std::string(s.name) == name; });
    ASSERT_NE(stream, streams.end());
    const auto video = avc_test::MakeFieldStream(*stream, dir.path());
    ASSERT_TRUE(video);
    const fs::path archive = dir / "out.vyx";
    ASSERT_EQ(RunVyxmux("-o " + Quoted(archive) + " --h264 " + Quoted(*video) + " --fps 25"), 0);
    const auto frames = testing_support::RunOutput("ffprobe -v error -threads 1 -show_entries frame=pkt_pos "
                                                   "-of csv=p=0 " + Quoted(*video));
    ASSERT_TRUE(frames);
    std::vector<size_t> framePositions;
    std::istringstream lines(*frames);
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty()) framePositions.push_back(std::stoul(line));
    }
    const auto records = ReadArchive(archive);
    ASSERT_EQ(records.size(), static_cast<size_t>(stream->frames));
    ASSERT_EQ(framePositions.size(), records.size());
    const std::vector<uint8_t> bytes = ReadFile(*video);
    size_t end = 0;
    for (size_t i = 0; i < records.size(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i));
      ASSERT_TRUE(std::equal(records[i].payload.begin(), records[i].payload.end(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end)));
      EXPECT_GE(framePositions[i], end);
      end += records[i].payload.size();
      EXPECT_LT(framePositions[i], end);
      EXPECT_EQ(records[i].header.type, i == 0 ? 133 : 134);
      EXPECT_EQ(records[i].header.width, stream->width);
      EXPECT_EQ(records[i].header.height, stream->height);
      ExpectRecordTime(records[i].header, 1700000000, i * 40000);
    }
    EXPECT_EQ(end, bytes.size());
  }
}

// Overrides of type, size and magic; a fractional rate gives exact
// microseconds (30000/1001: frame 3 at 100100 us, frame 30 at 1.001 s).
TEST(VyxmuxCli, OverridesAndFractionalFrameRate) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxmux-overrides");
  const fs::path video = dir / "video.264";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25 -frames:v 31 -c:v libx264 -g 30 " +
                        Quoted(video)));
  const fs::path archive = dir / "out.vyx";
  ASSERT_EQ(RunVyxmux("-o " + Quoted(archive) + " --h264 " + Quoted(video) +
                      " --type 140,141 --size 704x576 --magic 0x12345678 --fps 30000/1001 --start 1000"),
            0);
  const auto records = ReadArchive(archive);
  ASSERT_EQ(records.size(), 31u);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].header.magic, 0x12345678u);
    EXPECT_EQ(records[i].header.type, i % 30 == 0 ? 140 : 141) << i;
    EXPECT_EQ(records[i].header.width, 704);
    EXPECT_EQ(records[i].header.height, 576);
  }
  ExpectRecordTime(records[1].header, 1000, 33366);
  ExpectRecordTime(records[3].header, 1000, 100100);
  ExpectRecordTime(records[30].header, 1000, 1001000);
}

// The MPEG-4 and JPEG sources, with times given one by one.
TEST(VyxmuxCli, Mpeg4AndJpegSourcesWithExplicitTimes) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxmux-sources");
  const fs::path m4v = dir / "video.m4v";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 4 -c:v mpeg4 -g 2 -f m4v " +
                        Quoted(m4v)));
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=200x150 -frames:v 2 -c:v mjpeg " + Quoted(dir / "p%d.jpg")));

  const fs::path mpeg4Archive = dir / "mpeg4.vyx";
  ASSERT_EQ(RunVyxmux("-o " + Quoted(mpeg4Archive) + " --mpeg4 " + Quoted(m4v) +
                      " --times 0,0.5,1.25,7.000001 --start 5"),
            0);
  const auto mpeg4 = ReadArchive(mpeg4Archive);
  ASSERT_EQ(mpeg4.size(), 4u);
  const uint64_t times[] = {0, 500000, 1250000, 7000001};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(mpeg4[i].header.type, i % 2 == 0 ? 129 : 130) << i;
    EXPECT_EQ(mpeg4[i].header.width, 176);
    EXPECT_EQ(mpeg4[i].header.height, 144);
    ExpectRecordTime(mpeg4[i].header, 5, times[i]);
  }

  const fs::path jpegArchive = dir / "jpeg.vyx";
  ASSERT_EQ(RunVyxmux("-o " + Quoted(jpegArchive) + " --jpeg " + Quoted(dir / "p1.jpg") + " --jpeg " +
                      Quoted(dir / "p2.jpg") + " --fps 12.5"),
            0);
  const auto jpeg = ReadArchive(jpegArchive);
  ASSERT_EQ(jpeg.size(), 2u);
  for (const Record& record : jpeg) {
    EXPECT_EQ(record.header.type, 136);
    EXPECT_EQ(record.header.width, 200);
    EXPECT_EQ(record.header.height, 150);
  }
  EXPECT_TRUE(jpeg[1].payload == ReadFile(dir / "p2.jpg"));
  ExpectRecordTime(jpeg[1].header, 1700000000, 80000);
}

struct BadRun {
  const char* name;
  std::string args;  // $D stands for the scratch directory
  int status;
  const char* message;
};

class VyxmuxCliErrors : public testing::TestWithParam<BadRun> {};
void PrintTo(const BadRun& run, std::ostream* out) { *out << run.args; }

TEST_P(VyxmuxCliErrors, ExitWithReasonAndNoArchive) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxmux-errors");
  testing_support::WriteFile(dir / "text.264", {'h', 'e', 'l', 'l', 'o', '\n'});
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1 " + Quoted(dir / "whole.jpg")));
  std::vector<uint8_t> cut = ReadFile(dir / "whole.jpg");
  cut.resize(cut.size() / 2);
  testing_support::WriteFile(dir / "cut.jpg", cut);
  testing_support::WriteFile(dir / "audio.raw", RandomBytes(1024, 3));
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=64x48:rate=25 -frames:v 17 -c:v libx264 " + Quoted(dir / "ok.264")));

  std::string args = GetParam().args;
  for (size_t at; (at = args.find("$D")) != std::string::npos;) args.replace(at, 2, dir.path().string());
  std::string errors;
  EXPECT_EQ(RunVyxmux("-o " + Quoted(dir / "out.vyx") + " " + args, &errors, dir.path()), GetParam().status);
  EXPECT_NE(errors.find(GetParam().message), std::string::npos) << errors;
  EXPECT_FALSE(fs::exists(dir / "out.vyx"));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, VyxmuxCliErrors,
    testing::Values(
        BadRun{"MissingFile", "--h264 $D/none.264", 1, "none.264: cannot open"},
        BadRun{"NoAccessUnit", "--h264 $D/text.264", 1, "no access unit"},
        BadRun{"TruncatedJpeg", "--jpeg $D/cut.jpg", 1, "no EOI"},
        BadRun{"AdpcmPartialBlocks", "--audio 145:$D/audio.raw:300:4000", 1, "256-byte blocks"},
        BadRun{"TimesPerFrame", "--h264 $D/ok.264 --times 0,1", 1, "--times gives 2 times for 17"},
        BadRun{"TimeBeyond32BitSeconds", "--h264 $D/ok.264 --start 4294967295 --fps 1", 1, "32-bit seconds"},
        BadRun{"TwoVideoKinds", "--h264 $D/ok.264 --jpeg $D/cut.jpg", 2, "one kind"},
        BadRun{"TitleTooLong", "--h264 $D/ok.264 --title 123456789012345678", 2, "at most 17"},
        BadRun{"AudioSpec", "--audio 145:$D/audio.raw", 2, "TYPE:FILE:CHUNK_BYTES:BYTES_PER_SECOND"},
        BadRun{"UnknownOption", "--h264 $D/ok.264 --speed 2", 2, "--speed"}),
    [](const testing::TestParamInfo<BadRun>& info) { return std::string(info.param.name); });

}  // namespace
