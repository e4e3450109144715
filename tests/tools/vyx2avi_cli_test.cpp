// vyx2avi as a user runs it: what it prints, its exit codes, its files.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/convert/convert_test_support.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"

namespace {

using namespace convert_test;
using testing_support::ScratchDir;

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome Vyx2avi(const ScratchDir& dir, const std::string& args) {
  const auto out = dir / "stdout.txt", err = dir / "stderr.txt";
  Outcome o;
  const int status = testing_support::Run("'" + testing_support::BuiltTool("tools/vyx2avi/vyx2avi").string() + "' " +
                                          args + " >'" + out.string() + "' 2>'" + err.string() + "'");
  o.status = status;
  const auto outBytes = testing_support::ReadFile(out), errBytes = testing_support::ReadFile(err);
  o.out.assign(outBytes.begin(), outBytes.end());
  o.err.assign(errBytes.begin(), errBytes.end());
  return o;
}

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream lines(text);
  std::vector<std::string> out;
  std::string line;
  while (std::getline(lines, line)) out.push_back(line);
  return out;
}

std::string Q(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

bool Ffmpeg(const std::string& args) { return testing_support::Run("ffmpeg -nostdin -v error -y " + args) == 0; }

bool Vyxmux(const std::string& args) {
  return testing_support::Run(Q(testing_support::BuiltTool("tools/vyxmux/vyxmux")) + " " + args + " >/dev/null") == 0;
}

// FFmpeg's pictures of the file's video stream, one md5 each.
std::vector<std::string> Pictures(const std::filesystem::path& avi) {
  return testing_support::FfmpegFrameMd5s(avi, "", "-map 0:v -pix_fmt yuv420p");
}

// vyx2avi ARCHIVE OUTPUT in a child whose files cannot grow past `limit`
// bytes (see InChildWithFileSizeLimit); the wait status.
int Vyx2aviLimited(const ScratchDir& dir, const std::filesystem::path& archive, const std::filesystem::path& output,
                   uint64_t limit, bool killAtLimit) {
  const std::string tool = testing_support::BuiltTool("tools/vyx2avi/vyx2avi").string();
  const std::string out = (dir / "stdout.txt").string(), err = (dir / "stderr.txt").string();
  return InChildWithFileSizeLimit(limit, killAtLimit, [&] {
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) return 126;
    ::execl(tool.c_str(), tool.c_str(), archive.c_str(), output.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
}

std::string Text(const std::filesystem::path& path) {
  const auto bytes = testing_support::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// The files of `dir` whose name ends in ".avi".
std::vector<std::string> AviFiles(const ScratchDir& dir) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().extension() == ".avi") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<Record> Gops(int count) {
  std::vector<Record> records;
  for (int i = 0; i < count; ++i) {
    records.push_back({static_cast<uint8_t>(i % 8 ? FRAME_TYPE_MPEG4_P : FRAME_TYPE_MPEG4_I), 64, 64,
                       static_cast<uint64_t>(i) * 40, Payload(i % 8 ? 400 : 1500)});
    records.push_back({FRAME_TYPE_VOICE, 0, 0, static_cast<uint64_t>(i) * 40, Payload(320)});
  }
  return records;
}

TEST(Vyx2avi, PrintsTheFilesItFinished) {
  ScratchDir dir("vyx2avi_split");
  WriteArchive(dir / "a.vyx", Gops(200));
  const std::string out = (dir / "clip.avi").string();
  const auto o = Vyx2avi(dir, "'" + (dir / "a.vyx").string() + "' '" + out + "' --split-bytes 30000");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  const std::vector<std::string> files = Lines(o.out);
  ASSERT_GT(files.size(), 3u);
  for (size_t i = 0; i < files.size(); ++i) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "clip-%03zu.avi", i + 1);
    EXPECT_EQ(files[i], i == 0 ? out : (dir / expected).string());
    const auto size = std::filesystem::file_size(files[i]);
    EXPECT_LE(size, 60000u);
    if (i + 1 < files.size()) {
      EXPECT_GE(size, 30000u);
    }
  }
}

TEST(Vyx2avi, FailuresExitOneWithTheReason) {
  ScratchDir dir("vyx2avi_fail");
  WriteArchive(dir / "a.vyx", Gops(20));
  const auto archive = "'" + (dir / "a.vyx").string() + "'";
  const auto before = Md5(testing_support::ReadFile(dir / "a.vyx"));
  struct Case {
    std::string output, reason;
  };
  for (const Case& c : {Case{(dir / "a.vyx").string(), "archive being converted"},
                        Case{(dir / "no" / "clip.avi").string(), "No such file"},
                        Case{"/dev/full", "No space"}}) {
    SCOPED_TRACE(c.output);
    const auto o = Vyx2avi(dir, archive + " '" + c.output + "'");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
  }
  EXPECT_EQ(Md5(testing_support::ReadFile(dir / "a.vyx")), before);

  // A bad magic at the tenth record: the file before it, and the failure.
  auto bytes = testing_support::ReadFile(dir / "a.vyx");
  size_t at = 0;
  for (int record = 0; record < 10; ++record)
    at += VYX_HEADER_SIZE + (bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16);
  bytes[at] ^= 0xFF;
  testing_support::WriteFile(dir / "bad.vyx", bytes);
  const auto damaged = Vyx2avi(dir, "'" + (dir / "bad.vyx").string() + "' '" + (dir / "b.avi").string() + "'");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, (dir / "b.avi").string() + "\n");
  EXPECT_NE(damaged.err.find("damaged record"), std::string::npos) << damaged.err;
}

TEST(Vyx2avi, BadCommandLinesExitTwo) {
  ScratchDir dir("vyx2avi_usage");
  for (const char* args : {"", "a.vyx", "a.vyx b.avi c", "a.vyx b.avi --split-bytes", "a.vyx b.avi --split-bytes 0",
                           "a.vyx b.avi --split-bytes 4095",
                           "a.vyx b.avi --split-bytes 12x", "a.vyx b.avi --split-bytes 4294967296",
                           "--frobnicate a.vyx b.avi"}) {
    SCOPED_TRACE(args);
    const auto o = Vyx2avi(dir, args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("usage"), std::string::npos);
  }
}

// Out of room (a file-size limit, as a full disk): exit 1 with the reason;
// what is left is an AVI that FFmpeg reads as H.264 and decodes without an
// error into the first pictures of the whole file, or nothing at all.
TEST(Vyx2avi, RunningOutOfRoomLeavesOnlyFilesFfmpegReads) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("vyx2avi_room");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=352x288:rate=25 -t 4 -c:v libx264 -preset veryfast -g 25 -bf 0 "
                     "-pix_fmt yuv420p -f h264 " + Q(dir / "v.264")));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=8000 -t 4 -ac 1 -f mulaw " + Q(dir / "voice.ul")));
  ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + " --h264 " + Q(dir / "v.264") + " --audio 147:" +
                     (dir / "voice.ul").string() + ":320:8000"));
  const auto whole = dir / "whole.avi";
  ASSERT_EQ(Vyx2avi(dir, Q(dir / "a.vyx") + " " + Q(whole)).status, 0);
  const auto wholePictures = Pictures(whole);
  ASSERT_EQ(wholePictures.size(), 100u);
  const uint64_t wholeSize = std::filesystem::file_size(whole);
  std::filesystem::rename(whole, dir / "whole.reference");

  const auto output = dir / "cut.avi";
  // Less than the header; less than the first key frame; half the file.
  for (const uint64_t limit : {uint64_t{200}, uint64_t{1000}, wholeSize / 2}) {
    SCOPED_TRACE(limit);
    const int status = Vyx2aviLimited(dir, dir / "a.vyx", output, limit, false);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(Text(dir / "stderr.txt").find("File too large"), std::string::npos) << Text(dir / "stderr.txt");
    const auto left = AviFiles(dir);
    EXPECT_EQ(Lines(Text(dir / "stdout.txt")), left);
    if (limit <= 1000) {
      EXPECT_TRUE(left.empty());  // no empty or header-only file either
      continue;
    }
    ASSERT_EQ(left, std::vector<std::string>{output.string()});
    EXPECT_LE(std::filesystem::file_size(output), limit);
    EXPECT_EQ(StreamField(output, 0, "codec_name,codec_tag_string,width,height"), "h264,H264,352,288");
    EXPECT_EQ(ProbeWarnings(output), "");
    EXPECT_EQ(testing_support::RunOutput("ffmpeg -nostdin -v error -i " + Q(output) + " -f null - 2>&1"), "");
    const auto pictures = Pictures(output);
    EXPECT_GT(pictures.size(), 10u);
    EXPECT_LT(pictures.size(), wholePictures.size());
    EXPECT_TRUE(std::equal(pictures.begin(), pictures.end(), wholePictures.begin()));
    std::filesystem::remove(output);
  }
}

// A run killed while it writes (the write past a file-size limit kills
// it, as a kill from outside would) leaves a file whose header already
// names the codec and the picture size.
TEST(Vyx2avi, AKilledRunLeavesAFileThatNamesItsCodec) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  ScratchDir dir("vyx2avi_killed");
  const std::string source = "-f lavfi -i testsrc2=size=352x240:rate=25 ";
  ASSERT_TRUE(Ffmpeg(source + "-t 2 -c:v libx264 -preset veryfast -g 25 -bf 0 -pix_fmt yuv420p -f h264 " +
                     Q(dir / "v.264")));
  ASSERT_TRUE(Ffmpeg(source + "-t 2 -c:v mpeg4 -g 25 -bf 0 -f m4v " + Q(dir / "v.m4v")));
  std::string jpegs;
  for (int i = 0; i < 4; ++i) {
    const auto file = dir / ("f" + std::to_string(i) + ".jpg");
    ASSERT_TRUE(Ffmpeg(source + "-vf trim=start_frame=" + std::to_string(i) + " -frames:v 1 -c:v mjpeg " +
                       "-pix_fmt yuvj420p " + Q(file)));
    jpegs += " --jpeg " + Q(file);
  }
  struct Case {
    std::string video, stream;
  };
  for (const Case& c : {Case{"--h264 " + Q(dir / "v.264"), "h264,H264,352,240"},
                        Case{"--mpeg4 " + Q(dir / "v.m4v"), "mpeg4,DIVX,352,240"},
                        Case{jpegs, "mjpeg,MJPG,352,240"}}) {
    SCOPED_TRACE(c.stream);
    ASSERT_TRUE(Vyxmux("-o " + Q(dir / "a.vyx") + " " + c.video));
    const auto output = dir / "killed.avi";
    const uint64_t limit = 20000;
    const int status = Vyx2aviLimited(dir, dir / "a.vyx", output, limit, true);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_EQ(std::filesystem::file_size(output), limit);  // frames after the header
    EXPECT_EQ(StreamField(output, 0, "codec_name,codec_tag_string,width,height"), c.stream);
    std::filesystem::remove(output);
  }
}

}  // namespace
