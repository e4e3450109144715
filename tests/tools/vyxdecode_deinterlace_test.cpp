// vyxdecode --deinterlace: the own library's deinterlaced pictures, as
// --planes hashes them, against a model of the deinterlacer applied to
// FFmpeg's decode of the same stream, each frame taken as a field pair or
// a frame picture as FFmpeg reports it, with either kernel set.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/deinterlace_model.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/player/vyxdecode_run.h"
#include "tests/support/plane_md5.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using avc_test::YuvFrame;
using testing_support::BuiltTool;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

std::string Vyxdecode() { return Quote(BuiltTool("tools/vyxdecode/vyxdecode")); }

// FFmpeg's decoded frames of a stream whose size is whole macroblocks.
std::vector<YuvFrame> FfmpegFrames(const fs::path& stream, const fs::path& scratch, int width, int height) {
  const fs::path raw = scratch / "frames.yuv";
  std::vector<YuvFrame> frames;
  if (testing_support::Run("ffmpeg -nostdin -loglevel error -y -i " + Quote(stream) +
                           " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + Quote(raw)) != 0) {
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
  return testing_support::PlaneMd5({f.y.data(), f.cb.data(), f.cr.data(), f.width, f.width / 2, f.width / 2, f.width,
                                    f.height});
}

// Per frame of FFmpeg's decode: whether it came from a field pair.
std::vector<bool> FfmpegFieldPairs(const fs::path& stream) {
  const auto output = testing_support::RunOutput("ffprobe -v error -show_entries frame=interlaced_frame -of csv=p=0 " +
                                                 Quote(stream));
  std::vector<bool> pairs;
  if (!output) return pairs;
  std::istringstream lines(*output);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty()) pairs.push_back(line[0] == '1');
  return pairs;
}

TEST(VyxdecodeDeinterlace, WantsTheOwnDecoder) {
  for (const char* decoder : {"", "--decoder=ffmpeg"}) {
    EXPECT_EQ(testing_support::Run(Vyxdecode() + " a.vyx --deinterlace " + decoder + " 2>/dev/null"), 2) << decoder;
  }
}

class DeinterlacedStream : public testing::TestWithParam<avc_test::FieldStream> {};

TEST_P(DeinterlacedStream, EqualsTheModelOnFfmpegsFrames) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  const avc_test::FieldStream& s = GetParam();
  testing_support::ScratchDir scratch(std::string("vyxdecode_deinterlace_") + s.name);
  const auto stream = avc_test::MakeFieldStream(s, scratch.path());
  ASSERT_TRUE(stream);
  ASSERT_TRUE(vyxdecode_run::Mux("--h264", *stream, scratch / "a.vyx"));
  const std::vector<YuvFrame> frames = FfmpegFrames(*stream, scratch.path(), s.width, s.height);
  const std::vector<bool> fieldPairs = FfmpegFieldPairs(*stream);
  ASSERT_EQ(frames.size(), static_cast<size_t>(s.frames));
  ASSERT_EQ(fieldPairs.size(), frames.size());
  avc_test::DeinterlaceModel model(s.width, s.height);
  std::vector<std::string> expected;
  for (size_t i = 0; i < frames.size(); ++i)
    expected.push_back(FrameMd5(fieldPairs[i] ? model.FieldPicture(frames[i]) : model.FramePicture(frames[i])));
  for (const char* kernels : {"plain", "simd"}) {
    EXPECT_EQ(vyxdecode_run::DecodeMd5s(scratch / "a.vyx", std::string("--planes --decoder=qx264 --deinterlace --kernels=") + kernels),
              expected)
        << kernels;
  }
}

// The interlaced streams whose frames are whole macroblock rows: the
// deinterlacer works on the coded frame, which FFmpeg's output of a
// cropped one does not show in full.
std::vector<avc_test::FieldStream> UncroppedFieldStreams() {
  std::vector<avc_test::FieldStream> streams;
  for (const avc_test::FieldStream& s : avc_test::FieldStreams())
    if (s.width % 16 == 0 && s.height % 32 == 0) streams.push_back(s);
  return streams;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeinterlacedStream, testing::ValuesIn(UncroppedFieldStreams()),
                         [](const testing::TestParamInfo<avc_test::FieldStream>& info) { return info.param.name; });

}  // namespace
