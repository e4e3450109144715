// The plain kernel set and the best SIMD set decode every stream to the
// same pictures: the conformance streams, libx264 streams made here, the
// interlaced streams rewritten from them and seeded mutations of both.  Two decoders, one forced to each set, take
// the same access units in step; each result and each picture's bytes
// must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/avc_kernel_choice.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/support/test_support.h"

namespace {

using avc_test::Decoder;
using Units = std::vector<std::vector<uint8_t>>;

Decoder Create(AvcKernelChoice choice, uint32_t widthMbs, uint32_t heightMbs) {
  Decoder decoder = avc_test::CreateDecoder(widthMbs, heightMbs);
  AvcDecForceKernels(decoder.get(), choice);
  return decoder;
}

// Decodes the units with both sets; returns the pictures compared, or -1
// after a failed expectation (reported with `what` and the unit index).
int DecodeWithBothSets(const Units& units, uint32_t widthMbs, uint32_t heightMbs, const std::string& what) {
  Decoder plain = Create(AvcKernelChoice::kPlain, widthMbs, heightMbs);
  Decoder simd = Create(AvcKernelChoice::kBestSimd, widthMbs, heightMbs);
  if (!plain || !simd) {
    ADD_FAILURE() << what << ": no decoder";
    return -1;
  }
  int pictures = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    const auto length = static_cast<int32_t>(units[i].size());
    AvcDecPicture a, b;
    const int32_t resultA = AvcDecDecode(plain.get(), units[i].data(), length, 0, 0, &a, nullptr);
    const int32_t resultB = AvcDecDecode(simd.get(), units[i].data(), length, 0, 0, &b, nullptr);
    if (resultA != resultB) {
      ADD_FAILURE() << what << " unit " << i << ": results " << resultA << " and " << resultB;
      return -1;
    }
    if (resultA != kAvcDecPicture) continue;
    if (avc_test::PictureMd5(a) != avc_test::PictureMd5(b)) {
      ADD_FAILURE() << what << " unit " << i << ": the SIMD set's picture differs from the plain set's";
      return -1;
    }
    ++pictures;
  }
  return pictures;
}

TEST(KernelSetIdentity, ConformanceStreams) {
  ORLENTA_REQUIRE_TESTDATA(directory, "h264");
  int streams = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (!entry.is_regular_file()) continue;
    const Units units = avc_test::SplitAccessUnits(testing_support::ReadFile(entry.path()));
    const int pictures = DecodeWithBothSets(units, 45, 36, entry.path().filename().string());
    ASSERT_GE(pictures, 0);
    streams += pictures > 0;
  }
  EXPECT_GT(streams, 0);
}

// Flips bits or replaces bytes in about half of the units, past their
// start codes.
void Mutate(Units& units, std::mt19937& random) {
  for (auto& bytes : units) {
    if (random() % 2 == 0 || bytes.size() < 8) continue;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) {
      const size_t at = 4 + random() % (bytes.size() - 4);
      if (random() % 2) bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
      else bytes[at] = static_cast<uint8_t>(random());
    }
  }
}

struct Encoded {
  const char* name;
  const char* source;
  int width;
  int height;
  int frames;
  const char* x264Params;
  const char* extraArgs;
};

// Every partition size and quarter-sample position, several references,
// explicit weights, cropped sizes, a picture smaller than the search range
// (most areas cross its edges), low and high quantisers.
const Encoded kEncoded[] = {
    {"AllPartitions", "mandelbrot", 352, 288, 12, "partitions=all:me=umh:merange=48:subme=9:ref=4", ""},
    {"CroppedSlices", "testsrc2", 174, 98, 10, "partitions=all:ref=3:slices=3", ""},
    {"Tiny", "mandelbrot", 48, 32, 10, "partitions=all:ref=3:me=umh:merange=64", ""},
    {"WeightedFade", "testsrc2", 176, 144, 16, "weightp=2:ref=3", "-profile:v main -vf fade=in:0:14"},
    {"LowQp", "mandelbrot", 176, 144, 8, "qp=2:partitions=all", ""},
    {"HighQp", "testsrc2", 176, 144, 8, "qp=51:partitions=all", ""},
};

class KernelSetIdentityEncoded : public testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
  }
  Units Make(const Encoded& e) {
    const auto file = dir_ / (std::string(e.name) + ".264");
    if (!avc_test::MakeInterStream(file, e.source, e.width, e.height, e.frames, e.x264Params, e.extraArgs)) return {};
    return avc_test::SplitAccessUnits(testing_support::ReadFile(file));
  }
  testing_support::ScratchDir dir_{"h264_kernel_identity"};
};

TEST_F(KernelSetIdentityEncoded, Libx264Streams) {
  for (const Encoded& e : kEncoded) {
    const Units units = Make(e);
    ASSERT_EQ(units.size(), static_cast<size_t>(e.frames)) << e.name;
    EXPECT_EQ(DecodeWithBothSets(units, 45, 36, e.name), e.frames);
  }
}

// Damaged streams reach the kernels with values no encoder makes: vectors
// far outside the picture, wild coefficients and weights.
TEST_F(KernelSetIdentityEncoded, MutatedStreams) {
  std::mt19937 random(20261211);
  for (const Encoded& e : {kEncoded[0], kEncoded[2]}) {
    const Units clean = Make(e);
    ASSERT_EQ(clean.size(), static_cast<size_t>(e.frames)) << e.name;
    for (int round = 0; round < 40; ++round) {
      Units units = clean;
      Mutate(units, random);
      ASSERT_GE(DecodeWithBothSets(units, 45, 36, std::string(e.name) + " round " + std::to_string(round)), 0);
    }
  }
}

// Field pictures reach the kernels with twice the line step, reference
// fields of either parity and the chroma vector offset.
TEST_F(KernelSetIdentityEncoded, InterlacedStreams) {
  for (const avc_test::FieldStream& stream : avc_test::FieldStreams()) {
    const auto file = avc_test::MakeFieldStream(stream, dir_.path());
    ASSERT_TRUE(file) << stream.name;
    const Units units = avc_test::SplitAccessUnits(testing_support::ReadFile(*file));
    const auto widthMbs = static_cast<uint32_t>((stream.width + 15) / 16);
    const auto heightMbs = static_cast<uint32_t>((stream.height + 31) / 32 * 2);
    EXPECT_GT(DecodeWithBothSets(units, widthMbs, heightMbs, stream.name), 0) << stream.name;
  }
}

TEST_F(KernelSetIdentityEncoded, MutatedInterlacedStreams) {
  std::mt19937 random(20261210);
  for (const char* name : {"pairs_weights_cif", "mixed_cif"}) {
    const auto& streams = avc_test::FieldStreams();
    const auto stream = std::find_if(streams.begin(), streams.end(), [&](const auto& s) { return s.name == std::string(name); });
    ASSERT_NE(stream, streams.end()) << name;
    const auto file = avc_test::MakeFieldStream(*stream, dir_.path());
    ASSERT_TRUE(file) << name;
    const Units clean = avc_test::SplitAccessUnits(testing_support::ReadFile(*file));
    for (int round = 0; round < 40; ++round) {
      Units units = clean;
      Mutate(units, random);
      ASSERT_GE(DecodeWithBothSets(units, 22, 18, std::string(name) + " round " + std::to_string(round)), 0);
    }
  }
}

}  // namespace
