// G.711 against the ITU-T G.191 sweep vectors (every 16-bit input) and the
// expansion of every code against FFmpeg and sox.
#include "codecs/audio/g711.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/codecs/audio/audio_test_support.h"
#include "tests/support/test_support.h"

namespace {

using audio_test::Law;
using testing_support::ScratchDir;

struct LawCase {
  Law law;
  const char* compressed;  // sweep.src compressed
  const char* expanded;    // and expanded again
  const char* ffmpegFormat;
  const char* soxEncoding;
};

constexpr LawCase kLaws[] = {
    {Law::kAlaw, "g711/sweep-r.a", "g711/sweep-r.a-a", "alaw", "a-law"},
    {Law::kUlaw, "g711/sweep-r.u", "g711/sweep-r.u-u", "mulaw", "u-law"},
};

TEST(G711, CompressorsAndExpandersMatchTheG191SweepVectors) {
  ORLENTA_REQUIRE_TESTDATA(source, "g711/sweep.src");
  const auto sweep = audio_test::ReadWords(source);
  ASSERT_EQ(sweep.size(), 65536u);
  for (const LawCase& c : kLaws) {
    ORLENTA_REQUIRE_TESTDATA(compressed, c.compressed);
    ORLENTA_REQUIRE_TESTDATA(expanded, c.expanded);
    const auto codes = audio_test::ReadWords(compressed);
    const auto linear = audio_test::ReadWords(expanded);
    ASSERT_EQ(codes.size(), sweep.size());
    ASSERT_EQ(linear.size(), sweep.size());
    size_t wrongCodes = 0, wrongLinear = 0;
    for (size_t i = 0; i < sweep.size(); ++i) {
      const uint8_t code = audio_test::Compress(c.law, sweep[i]);
      wrongCodes += code != codes[i];
      wrongLinear += audio_test::Expand(c.law, code) != linear[i];
    }
    EXPECT_EQ(wrongCodes, 0u) << c.compressed;
    EXPECT_EQ(wrongLinear, 0u) << c.expanded;
  }
}

std::vector<int16_t> ExpandAllCodes(Law law) {
  std::vector<int16_t> linear;
  for (int code = 0; code < 256; ++code) linear.push_back(audio_test::Expand(law, static_cast<uint8_t>(code)));
  return linear;
}

std::vector<uint8_t> AllCodes() {
  std::vector<uint8_t> codes;
  for (int code = 0; code < 256; ++code) codes.push_back(static_cast<uint8_t>(code));
  return codes;
}

TEST(G711, ExpansionOfEveryCodeMatchesFfmpeg) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ScratchDir dir("g711-ffmpeg");
  testing_support::WriteFile(dir / "codes", AllCodes());
  for (const LawCase& c : kLaws) {
    const std::string command = std::string("ffmpeg -v error -y -f ") + c.ffmpegFormat +
                                " -ar 8000 -ac 1 -i '" + (dir / "codes").string() +
                                "' -f s16le '" + (dir / "linear").string() + "'";
    ASSERT_EQ(testing_support::Run(command), 0) << command;
    EXPECT_EQ(audio_test::ReadWords(dir / "linear"), ExpandAllCodes(c.law)) << c.ffmpegFormat;
  }
}

TEST(G711, ExpansionOfEveryCodeMatchesSox) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  ScratchDir dir("g711-sox");
  testing_support::WriteFile(dir / "codes", AllCodes());
  for (const LawCase& c : kLaws) {
    const std::string command = std::string("sox -t raw -r 8000 -c 1 -b 8 -e ") + c.soxEncoding +
                                " '" + (dir / "codes").string() +
                                "' -t raw -e signed-integer -b 16 -L '" +
                                (dir / "linear").string() + "'";
    ASSERT_EQ(testing_support::Run(command), 0) << command;
    EXPECT_EQ(audio_test::ReadWords(dir / "linear"), ExpandAllCodes(c.law)) << c.soxEncoding;
  }
}

}  // namespace
