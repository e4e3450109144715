// vyxdecode --deinterlace: the own library's deinterlaced pictures, as
// --planes hashes them, against a model of the deinterlacer applied to
// FFmpeg's decode of the same stream.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/deinterlace_model.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using avc_test::YuvFrame;
using testing_support::BuiltTool;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

std::string Vyxdecode() { return Quote(BuiltTool("tools/vyxdecode/vyxdecode")); }

// The md5 column of vyxdecode's lines.
std::vector<std::string> DecodeMd5s(const fs::path& archive, const std::string& options) {
  const auto output = testing_support::RunOutput(Vyxdecode() + " " + Quote(archive) + " " + options);
  std::vector<std::string> md5s;
  if (!output) return md5s;
  std::istringstream lines(*output);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t at = line.find("md5=");
    if (at != std::string::npos) md5s.push_back(line.substr(at + 4));
  }
  return md5s;
}

bool Mux(const fs::path& stream, const fs::path& archive) {
  return testing_support::Run(Quote(BuiltTool("tools/vyxmux/vyxmux")) + " -o " + Quote(archive) + " --h264 " +
                              Quote(stream) + " >/dev/null") == 0;
}

// FFmpeg's decoded frames of a stream whose size is whole macroblocks.
std::vector<YuvFrame> FfmpegFrames(const fs::path& stream, const fs::path& scratch, int width, int height) {
  const fs::path raw = scratch / "frames.yuv";
  std::vector<YuvFrame> frames;
  if (testing_support::Run("ffmpeg -nostdin -loglevel error -y -i " + Quote(stream) +
                           " -f rawvideo -pix_fmt yuv420p " + Quote(raw)) != 0) {
    return frames;
  }
  const std::vector<uint8_t> bytes = testing_support::ReadFile(raw);
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t at = 0; at + luma * 3 / 2 <= bytes.size(); at += luma * 3 / 2) {
    const auto* y = bytes.data() + at;
    frames.push_back({width, height, {y, y + luma}, {y + luma, y + luma * 5 / 4}, {y + luma * 5 / 4, y + luma * 3 / 2}});
  }
  return frames;
}

std::string FrameMd5(const YuvFrame& f) {
  std::vector<uint8_t> bytes = f.y;
  bytes.insert(bytes.end(), f.cb.begin(), f.cb.end());
  bytes.insert(bytes.end(), f.cr.begin(), f.cr.end());
  return testing_support::Md5Hex(bytes);
}

TEST(VyxdecodeDeinterlace, WantsTheOwnDecoder) {
  for (const char* decoder : {"", "--decoder=ffmpeg"}) {
    EXPECT_EQ(testing_support::Run(Vyxdecode() + " a.vyx --deinterlace " + decoder + " 2>/dev/null"), 2) << decoder;
  }
}

// Frame pictures of an interlaced sequence (libx264's fake-interlaced
// mode) are shown as decoded, each one ageing the stillness counters.
TEST(VyxdecodeDeinterlace, FramePicturesOfAnInterlacedSequenceEqualTheModel) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir scratch("vyxdecode_deinterlace_frames");
  const fs::path stream = scratch / "frames.264";
  ASSERT_TRUE(avc_test::MakeInterStream(stream, "testsrc2", 352, 288, 6, "fake-interlaced=1", "-profile:v main"));
  ASSERT_TRUE(Mux(stream, scratch / "a.vyx"));
  avc_test::DeinterlaceModel model(352, 288);
  std::vector<std::string> expected;
  for (const YuvFrame& frame : FfmpegFrames(stream, scratch.path(), 352, 288))
    expected.push_back(FrameMd5(model.FramePicture(frame)));
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(DecodeMd5s(scratch / "a.vyx", "--planes --decoder=qx264 --deinterlace"), expected);
}

}  // namespace
