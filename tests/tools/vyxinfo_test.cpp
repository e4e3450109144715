// vyxinfo reads archives through the player's reader; its output format is
// what later checks parse.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/support/archive_records.h"
#include "tests/support/child_memory.h"
#include "tests/support/hostile_archives.h"
#include "tests/support/test_support.h"
#include "tests/tools/ffmpeg_reference.h"
#include "tools/vyxmux/vyx_writer.h"

namespace fs = std::filesystem;
using testing_support::BuiltTool;
using testing_support::RunOutput;

namespace {

struct InfoRecord {
  int index, type, channel, width, height, codecClass, key;
  std::string time, md5;
  size_t length;
};

struct Info {
  std::string summary;
  std::vector<InfoRecord> records;
};

std::optional<Info> RunVyxinfo(const fs::path& archive) {
  auto out = RunOutput(BuiltTool("tools/vyxinfo/vyxinfo").string() + " '" + archive.string() + "' --md5");
  if (!out) return std::nullopt;
  std::istringstream lines(*out);
  Info info;
  std::getline(lines, info.summary);
  for (std::string line; std::getline(lines, line);) {
    InfoRecord r{};
    unsigned long seconds = 0, micros = 0;
    char md5[33] = {};
    int consumed = 0;
    const int fields = std::sscanf(line.c_str(),
                                   "%d type=%d ch=%d w=%d h=%d time=%lu.%6lu len=%zu class=%d key=%d md5=%32[0-9a-f]%n",
                                   &r.index, &r.type, &r.channel, &r.width, &r.height, &seconds, &micros,
                                   &r.length, &r.codecClass, &r.key, md5, &consumed);
    EXPECT_EQ(fields, 11) << line;
    EXPECT_EQ(static_cast<size_t>(consumed), line.size()) << line;
    if (fields != 11) return std::nullopt;
    r.md5 = md5;
    r.time = line.substr(line.find("time=") + 5, line.find(" len=") - line.find("time=") - 5);
    info.records.push_back(r);
  }
  return info;
}

int Mux(const std::string& args) {
  return testing_support::Run(BuiltTool("tools/vyxmux/vyxmux").string() + " " + args + " >/dev/null");
}

TEST(Vyxinfo, ConformanceStreamAccessUnits) {
  ORLENTA_REQUIRE_TESTDATA(stream, "h264/BA1_FT_C.264");
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxinfo");
  ASSERT_EQ(Mux("-o " + (dir / "a.vyx").string() + " --h264 " + stream.string() + " --fps 25 --start 1700000000"), 0);
  auto info = RunVyxinfo(dir / "a.vyx");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->summary, "records=299 channels=0x1 duration=11 status=done");
  auto reference = ReferencePackets(stream);
  ASSERT_TRUE(reference);
  ASSERT_EQ(info->records.size(), reference->size());
  for (size_t i = 0; i < reference->size(); ++i) {
    const InfoRecord& r = info->records[i];
    EXPECT_EQ(r.md5, (*reference)[i].md5) << i;
    EXPECT_EQ(r.length, (*reference)[i].size) << i;
    EXPECT_EQ(r.width, 352);
    EXPECT_EQ(r.height, 288);
    EXPECT_EQ(r.codecClass, 1);
  }
  EXPECT_EQ(info->records[1].time, "1700000000.040000");
  EXPECT_EQ(info->records[298].time, "1700000011.920000");
}

TEST(Vyxinfo, Libx264StreamWithVoice) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("vyxinfo-x264");
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=320x240:rate=25 -t 2 -c:v libx264 -g 12 -bf 0 "
                        "-f h264 " + (dir / "v.264").string()));
  testing_support::WriteFile(dir / "voice.raw", std::vector<uint8_t>(8000, 0x55));  // 1 s of 8-bit voice
  ASSERT_EQ(Mux("-o " + (dir / "a.vyx").string() + " --h264 " + (dir / "v.264").string() +
                " --audio 147:" + (dir / "voice.raw").string() + ":800:8000 --channel 3"),
            0);
  auto info = RunVyxinfo(dir / "a.vyx");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->summary, "records=60 channels=0x8 duration=1 status=done");
  auto reference = ReferencePackets(dir / "v.264");
  ASSERT_TRUE(reference);
  size_t video = 0, voice = 0;
  for (const InfoRecord& r : info->records) {
    if (r.type == 147) {
      ++voice;
      EXPECT_EQ(r.codecClass, 0);
      EXPECT_EQ(r.length, 800u);
      continue;
    }
    ASSERT_LT(video, reference->size());
    EXPECT_EQ(r.md5, (*reference)[video].md5);
    EXPECT_EQ(r.key, (*reference)[video].key ? 1 : 0);
    EXPECT_EQ(r.type, (*reference)[video].key ? 133 : 134);
    ++video;
  }
  EXPECT_EQ(video, 50u);
  EXPECT_EQ(voice, 10u);
}

TEST(Vyxinfo, IndexStatusAndExitCode) {
  testing_support::ScratchDir dir("vyxinfo-status");
  auto write = [&](const std::string& name, uint32_t magicOfSecond) {
    const VYX_FRAME_HEADER first = MakeFrameHeader(FRAME_TYPE_H264_I, 1700000000);
    VYX_FRAME_HEADER second = first;
    second.magic = magicOfSecond;
    second.time += 4;
    EXPECT_TRUE(testing_support::WriteArchive(dir / name, {{first, {1, 2, 3}}, {second, {4}}}));
  };
  write("good.vyx", VYX_FRAME_MAGIC);
  write("bad.vyx", 0);
  auto good = RunVyxinfo(dir / "good.vyx");
  ASSERT_TRUE(good);
  EXPECT_EQ(good->summary, "records=2 channels=0x1 duration=4 status=done");
  auto bad = RunVyxinfo(dir / "bad.vyx");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->summary, "records=1 channels=0x1 duration=0 status=error");
  testing_support::WriteFile(dir / "junk.vyx", std::vector<uint8_t>(100, 7));
  auto junk = RunVyxinfo(dir / "junk.vyx");
  ASSERT_TRUE(junk);
  EXPECT_EQ(junk->summary, "records=0 channels=0x0 duration=0 status=failed");
  EXPECT_TRUE(junk->records.empty());

  const std::string tool = BuiltTool("tools/vyxinfo/vyxinfo").string();
  EXPECT_EQ(testing_support::Run(tool + " " + (dir / "absent.vyx").string() + " 2>/dev/null"), 1);
}

// Without --md5 only headers are read: the crafted archives (a 5 GiB
// sparse one among them) cost the tool little memory.
TEST(Vyxinfo, CraftedArchivesAreListedFromTheirHeaders) {
  testing_support::ScratchDir dir("vyxinfo-hostile");
  const std::string tool = BuiltTool("tools/vyxinfo/vyxinfo").string();
  for (const auto& archive : testing_support::WriteHostileArchives(dir.path())) {
    SCOPED_TRACE(archive.name);
    const auto run = testing_support::RunProgram({tool, archive.path.string()});
    ASSERT_EQ(run.exitCode, 0);
    std::istringstream lines(run.output);
    std::string summary, line, last;
    std::getline(lines, summary);
    EXPECT_TRUE(summary.starts_with("records=" + std::to_string(archive.goodRecords) + " "));
    EXPECT_TRUE(summary.ends_with(archive.corrupt ? "status=error" : "status=done")) << summary;
    size_t listed = 0;
    for (; std::getline(lines, line); ++listed) last = line;
    EXPECT_EQ(listed, archive.goodRecords);
    if (archive.name == "5gib-chain") {
      EXPECT_NE(last.find(" len=" + std::to_string(VYX_MAX_PAYLOAD_LENGTH) + " "), std::string::npos) << last;
    }
    EXPECT_LT(run.peakKiB, 256u * 1024);
    std::printf("%s: peak %llu KiB\n", archive.name.c_str(), static_cast<unsigned long long>(run.peakKiB));
  }
}

}  // namespace
