// vyxdecode --kernels=plain|simd: every decoder and the pixel converters
// after it run the forced set, and both sets give the pictures of a run
// that leaves the choice to the processor, drawn (RGB32, through the
// converters and the renderer's row copy) and as planes.  Streams are made
// here by FFmpeg at sizes that leave the vector loops a remainder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/player/vyxdecode_run.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

bool Encode(const std::string& source, const std::string& output, const fs::path& file) {
  return testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i " + source + " " + output + " " +
                              Quote(file)) == 0;
}

struct Archive {
  const char* name;
  const char* muxFlag;
  // The ffmpeg arguments after the input (one thread: no video packets).
  const char* encoder;
  const char* extension;
  int pictures;
  std::vector<const char*> decoders;
};

const Archive kArchives[] = {
    {"Mpeg4", "--mpeg4", "-frames:v 12 -threads 1 -c:v mpeg4 -q:v 4 -flags +qpel -f m4v", "m4v", 12, {""}},
    {"Jpeg", "--jpeg", "-frames:v 1 -c:v mjpeg -q:v 3", "jpg", 1, {"", " --accurate"}},
    {"H264", "--h264", "-frames:v 12 -c:v libx264 -profile:v baseline -g 6 -f h264", "264", 12,
     {" --decoder=ffmpeg", " --decoder=qx264"}},
};

class VyxdecodeKernels : public testing::TestWithParam<Archive> {};

TEST_P(VyxdecodeKernels, PlainAndSimdGiveTheProcessorsPicturesThroughEveryDecoder) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const Archive& a = GetParam();
  testing_support::ScratchDir scratch(std::string("vyxdecode_kernels_") + a.name);
  const fs::path stream = scratch / (std::string("stream.") + a.extension);
  ASSERT_TRUE(Encode("testsrc2=size=174x98:rate=25,rotate=0.1*t", a.encoder, stream)) << a.encoder;
  const fs::path archive = scratch / "stream.vyx";
  ASSERT_TRUE(vyxdecode_run::Mux(a.muxFlag, stream, archive));
  for (const char* decoder : a.decoders) {
    for (const std::string planes : {"", " --planes"}) {
      const std::string options = planes + decoder;
      SCOPED_TRACE("options '" + options + "'");
      const auto chosen = vyxdecode_run::DecodeArchive(archive, options);
      ASSERT_EQ(chosen.status, 0);
      ASSERT_EQ(chosen.pictures.size(), size_t(a.pictures));
      const auto expected = vyxdecode_run::Md5sOf(chosen.pictures);
      for (const char* kernels : {" --kernels=plain", " --kernels=simd"}) {
        const auto forced = vyxdecode_run::DecodeArchive(archive, options + kernels);
        EXPECT_EQ(forced.status, 0) << kernels;
        EXPECT_TRUE(forced.otherErrors.empty()) << kernels << ": " << forced.otherErrors.front();
        EXPECT_EQ(vyxdecode_run::Md5sOf(forced.pictures), expected) << kernels;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, VyxdecodeKernels, testing::ValuesIn(kArchives),
                         [](const testing::TestParamInfo<Archive>& info) { return std::string(info.param.name); });

}  // namespace
