// vyx2avi as a user runs it: what it prints, its exit codes, its files.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/convert/convert_test_support.h"
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
  std::istringstream lines(o.out);
  std::string line;
  std::vector<std::string> files;
  while (std::getline(lines, line)) files.push_back(line);
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

}  // namespace
