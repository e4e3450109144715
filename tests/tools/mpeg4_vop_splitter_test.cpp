#include "tools/vyxmux/mpeg4_vop_splitter.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_support.h"
#include "tests/tools/ffmpeg_reference.h"

namespace {

using testing_support::ReadFile;

struct EncodedStream {
  const char* name;
  const char* encoderArgs;
  int width;
  int height;
};

class Mpeg4Split : public testing::TestWithParam<EncodedStream> {};
void PrintTo(const EncodedStream& stream, std::ostream* out) { *out << stream.encoderArgs; }

// One unit per FFmpeg packet, byte for byte, intra exactly where FFmpeg
// sees a key frame, and the size from the video object layer header.
TEST_P(Mpeg4Split, UnitsAreFfmpegsPackets) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  const EncodedStream& stream = GetParam();
  testing_support::ScratchDir dir("mpeg4");
  const auto file = dir / "stream.m4v";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=" + std::to_string(stream.width) + "x" +
                        std::to_string(stream.height) + ":rate=25 -frames:v 40 " + stream.encoderArgs +
                        " -f m4v '" + file.string() + "'"));
  std::string error;
  const auto vops = SplitMpeg4Vops(ReadFile(file), &error);
  EXPECT_EQ(error, "");
  const auto reference = ReferencePackets(file);
  ASSERT_TRUE(reference);
  ASSERT_EQ(vops.size(), 40u);
  ASSERT_EQ(vops.size(), reference->size());
  size_t intra = 0;
  for (size_t i = 0; i < vops.size(); ++i) {
    EXPECT_EQ(testing_support::Md5Hex(vops[i].bytes), (*reference)[i].md5) << "VOP " << i;
    EXPECT_EQ(vops[i].intra, (*reference)[i].key) << "VOP " << i;
    EXPECT_EQ(vops[i].width, stream.width);
    EXPECT_EQ(vops[i].height, stream.height);
    intra += vops[i].intra;
  }
  EXPECT_GT(intra, 2u);
  EXPECT_LT(intra, vops.size());
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, Mpeg4Split,
    testing::Values(EncodedStream{"FfmpegMpeg4", "-c:v mpeg4 -g 12", 320, 240},
                    EncodedStream{"FfmpegMpeg4BFrames", "-c:v mpeg4 -g 10 -bf 2", 352, 288},
                    EncodedStream{"Xvid", "-c:v libxvid -g 15", 176, 120}),
    [](const testing::TestParamInfo<EncodedStream>& info) { return std::string(info.param.name); });

TEST(Mpeg4Split, BadInputIsReportedNotFatal) {
  std::string error;
  EXPECT_TRUE(SplitMpeg4Vops({}, &error).empty());
  EXPECT_NE(error.find("no VOP"), std::string::npos);

  // A VOP start code at the very end has no coding type.
  EXPECT_EQ(SplitMpeg4Vops({0, 0, 1, 0xB6}, &error).size(), 1u);
  EXPECT_NE(error.find("truncated"), std::string::npos);

  // A video object layer header cut short leaves its VOPs without a size.
  const auto vops = SplitMpeg4Vops({0, 0, 1, 0x20, 0x00, 0x86, 0, 0, 1, 0xB6, 0x10}, &error);
  ASSERT_EQ(vops.size(), 1u);
  EXPECT_EQ(vops[0].width, 0);
  EXPECT_NE(error.find("video object layer"), std::string::npos);

  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> noise(2048);
    for (auto& byte : noise) {  // dense in start codes, of every kind
      const auto pick = random() % 4;
      byte = static_cast<uint8_t>(pick == 0 ? 0 : pick == 1 ? 1 : random());
    }
    size_t bytes = 0;
    for (const Mpeg4Vop& vop : SplitMpeg4Vops(noise, &error)) bytes += vop.bytes.size();
    ASSERT_TRUE(bytes == noise.size() || (bytes == 0 && !error.empty()));
  }
}

}  // namespace
