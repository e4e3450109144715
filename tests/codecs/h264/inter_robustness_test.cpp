// Hostile and damaged I/P input: mutated, truncated, reordered and dropped
// access units, the damaged-stream conformance files and a stream with B
// slices.  The decoder must stay inside its buffers (proven under
// ASan+UBSan) and keep returning well-formed results.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "codecs/h264/avc_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Decoder = std::unique_ptr<AvcDecContext, void (*)(AvcDecContext*)>;

Decoder Create(uint32_t widthMbs, uint32_t heightMbs, uint32_t refs, uint32_t flags) {
  AvcDecParams params;
  params.widthInMbs = widthMbs;
  params.heightInMbs = heightMbs;
  params.maxRefFrames = refs;
  params.flags = flags;
  return Decoder(AvcDecCreate(&params), AvcDecDestroy);
}

// Decodes every unit; false when a result is not one the API promises.
bool DecodeAll(AvcDecContext* decoder, const std::vector<std::vector<uint8_t>>& units) {
  for (const auto& unit : units) {
    AvcDecPicture picture;
    const int32_t result = AvcDecDecode(decoder, unit.data(), static_cast<int32_t>(unit.size()), 0, 0, &picture, nullptr);
    if (result == kAvcDecPicture) {
      if (picture.width > 45 * 16 || avc_test::PictureMd5(picture).empty()) return false;
    } else if (result != kAvcDecNoPicture) {
      return false;
    }
  }
  return true;
}

class InterRobustness : public testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
    ASSERT_TRUE(avc_test::MakeInterStream(dir_ / "p.264", "mandelbrot", 176, 144, 12,
                                          "partitions=all:ref=4:me=umh:merange=48:slices=2"));
    units_ = avc_test::SplitAccessUnits(testing_support::ReadFile(dir_ / "p.264"));
    ASSERT_EQ(units_.size(), 12u);
  }
  testing_support::ScratchDir dir_{"h264_inter_robust"};
  std::vector<std::vector<uint8_t>> units_;
};

TEST_F(InterRobustness, SurvivesMutatedTruncatedReorderedAndDroppedUnits) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    Decoder decoder = Create(11, 9, 1 + round % 4, round & 1 ? kAvcDecBumping : 0);
    std::vector<std::vector<uint8_t>> units = units_;
    for (auto& bytes : units) {
      if (random() % 3 == 0 || bytes.size() < 8) continue;
      const int flips = 1 + static_cast<int>(random() % 6);
      for (int f = 0; f < flips; ++f) {
        const size_t at = 4 + random() % (bytes.size() - 4);
        switch (random() % 3) {
          case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
          case 1: bytes[at] = static_cast<uint8_t>(random()); break;
          default: bytes.resize(at + 1); break;
        }
      }
    }
    if (round % 5 == 0) std::shuffle(units.begin() + 1, units.end(), random);
    if (round % 7 == 0) units.erase(units.begin() + 1 + static_cast<long>(random() % (units.size() - 1)));
    ASSERT_TRUE(DecodeAll(decoder.get(), units)) << "round " << round;
  }
  // Every prefix of a P unit, after a clean start.
  Decoder decoder = Create(11, 9, 4, 0);
  ASSERT_TRUE(DecodeAll(decoder.get(), {units_[0], units_[1]}));
  const std::vector<uint8_t>& unit = units_[2];
  for (size_t n = 0; n <= unit.size(); n += 3) {
    ASSERT_TRUE(DecodeAll(decoder.get(), {std::vector<uint8_t>(unit.begin(), unit.begin() + static_cast<long>(n))}));
  }
}

TEST(InterRobustnessStreams, DamagedConformanceStreamsAndBSlicesDecodeSafely) {
  for (const char* name : {"BA_MW_D_IDR_LOST.264", "BA_MW_D_P_LOST.264", "Error_I_P.264", "QCIF_2P_I_allIPCM.264"}) {
    ORLENTA_REQUIRE_TESTDATA(path, std::string("h264/") + name);
    for (const uint32_t flags : {0u, kAvcDecBumping}) {
      Decoder decoder = Create(11, 9, 4, flags);
      EXPECT_TRUE(DecodeAll(decoder.get(), avc_test::SplitAccessUnits(testing_support::ReadFile(path)))) << name;
    }
  }
}

TEST(InterRobustnessStreams, BSlicesAreRefusedAndTheirNeighboursStillDecode) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_bslices");
  const auto file = dir / "b.264";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 "
                                 "-frames:v 9 -c:v libx264 -profile:v main -bf 2 -x264-params cabac=0:b-pyramid=0:weightb=0 "
                                 "-f h264 '" + file.string() + "'"),
            0);
  Decoder decoder = Create(11, 9, 4, kAvcDecBumping);
  int pictures = 0;
  for (const auto& unit : avc_test::SplitAccessUnits(testing_support::ReadFile(file))) {
    AvcDecPicture picture;
    const int32_t result = AvcDecDecode(decoder.get(), unit.data(), static_cast<int32_t>(unit.size()), 0, 0, &picture, nullptr);
    ASSERT_TRUE(result == kAvcDecPicture || result == kAvcDecNoPicture);
    pictures += result == kAvcDecPicture;
  }
  EXPECT_GT(pictures, 0);
  EXPECT_LT(pictures, 9);
}

}  // namespace
