// Hostile and damaged I/P input: mutated, truncated, reordered and dropped
// access units, the damaged-stream conformance files and a stream with B
// slices.  The decoder must stay inside its buffers (proven under
// ASan+UBSan) and keep returning well-formed results.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codecs/h264/avc_decoder.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/bit_writer.h"
#include "tests/support/test_support.h"

namespace {

using avc_test::Decoder;
using avc_test::DecodesWithinBounds;

// No picture wider than the widest stream fed here.
constexpr int kMaxWidth = 45 * 16;

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
    Decoder decoder = avc_test::CreateDecoder(11, 9, 1 + round % 4, round & 1 ? kAvcDecBumping : 0);
    std::vector<std::vector<uint8_t>> units = units_;
    avc_test::DamageUnits(units, random);
    if (round % 5 == 0) std::shuffle(units.begin() + 1, units.end(), random);
    if (round % 7 == 0) units.erase(units.begin() + 1 + static_cast<long>(random() % (units.size() - 1)));
    ASSERT_TRUE(DecodesWithinBounds(decoder.get(), units, kMaxWidth)) << "round " << round;
  }
  // Every prefix of a P unit, after a clean start.
  Decoder decoder = avc_test::CreateDecoder(11, 9, 4, 0);
  ASSERT_TRUE(DecodesWithinBounds(decoder.get(), {units_[0], units_[1]}, kMaxWidth));
  const std::vector<uint8_t>& unit = units_[2];
  for (size_t n = 0; n <= unit.size(); n += 3) {
    ASSERT_TRUE(DecodesWithinBounds(decoder.get(), {std::vector<uint8_t>(unit.begin(), unit.begin() + static_cast<long>(n))},
                                    kMaxWidth));
  }
}

TEST(InterRobustnessStreams, DamagedConformanceStreamsAndBSlicesDecodeSafely) {
  for (const char* name : {"BA_MW_D_IDR_LOST.264", "BA_MW_D_P_LOST.264", "Error_I_P.264", "QCIF_2P_I_allIPCM.264"}) {
    ORLENTA_REQUIRE_TESTDATA(path, std::string("h264/") + name);
    for (const uint32_t flags : {0u, kAvcDecBumping}) {
      Decoder decoder = avc_test::CreateDecoder(11, 9, 4, flags);
      EXPECT_TRUE(DecodesWithinBounds(decoder.get(), avc_test::SplitAccessUnits(testing_support::ReadFile(path)), kMaxWidth))
          << name;
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
  Decoder decoder = avc_test::CreateDecoder(11, 9, 4, kAvcDecBumping);
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

// Start code and emulation prevention around one unit's RBSP.
void AppendUnit(std::vector<uint8_t>& stream, uint8_t header, const std::vector<uint8_t>& rbsp) {
  stream.insert(stream.end(), {0, 0, 0, 1, header});
  int zeros = 0;
  for (const uint8_t b : rbsp) {
    if (zeros >= 2 && b <= 3) {
      stream.push_back(3);
      zeros = 0;
    }
    stream.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
}

// A 2x6-macroblock IDR picture of I_PCM macroblocks, all samples 0x80,
// then (with `withP`) one P slice starting at `firstMb` with one skip run.
std::vector<uint8_t> PcmThenSkipRun(uint32_t firstMb, uint32_t run, bool withP = true) {
  std::vector<uint8_t> s;
  avc_test::BitWriter sps;
  sps.U(66, 8).U(0, 8).U(30, 8).Ue(0).Ue(0).Ue(2).Ue(1).U(0, 1).Ue(1).Ue(5).U(1, 1).U(1, 1).U(0, 1).U(0, 1);
  AppendUnit(s, 0x67, sps.Rbsp());
  avc_test::BitWriter pps;
  pps.Ue(0).Ue(0).U(0, 1).U(0, 1).Ue(0).Ue(0).Ue(0).U(0, 1).U(0, 2).Se(0).Se(0).Se(0).U(0, 1).U(0, 1).U(0, 1);
  AppendUnit(s, 0x68, pps.Rbsp());
  avc_test::BitWriter idr;
  idr.Ue(0).Ue(7).Ue(0).U(0, 4).Ue(0).U(0, 1).U(0, 1).Se(0);
  for (int mb = 0; mb < 12; ++mb) {
    idr.Ue(25).Align();
    for (int i = 0; i < 384; ++i) idr.U(0x80, 8);
  }
  AppendUnit(s, 0x65, idr.Rbsp());
  if (!withP) return s;
  avc_test::BitWriter p;
  p.Ue(firstMb).Ue(5).Ue(0).U(1, 4).U(0, 1).U(0, 1).U(0, 1).Se(0).Ue(run);
  AppendUnit(s, 0x41, p.Rbsp());
  return s;
}

// A run that, added to the slice's first address, wraps past 2^32 must be
// refused rather than skip past the picture; a run to the picture's end
// copies the reference.
TEST(InterRobustnessStreams, SkipRunsStopAtThePictureEnd) {
  AvcDecPicture reference;
  Decoder intra = avc_test::CreateDecoder(2, 6, 1, 0);
  const std::vector<uint8_t> idrOnly = PcmThenSkipRun(0, 0, false);
  ASSERT_EQ(AvcDecDecode(intra.get(), idrOnly.data(), static_cast<int32_t>(idrOnly.size()), 0, 0, &reference, nullptr),
            kAvcDecPicture);
  const std::string flat = avc_test::PictureMd5(reference);

  // From address 2 only 10 macroblocks remain: longer runs decode nothing.
  for (const uint32_t run : {0xFFFFFFFEu, 11u}) {
    Decoder decoder = avc_test::CreateDecoder(2, 6, 1, 0);
    const std::vector<uint8_t> stream = PcmThenSkipRun(2, run);
    AvcDecPicture picture;
    EXPECT_EQ(AvcDecDecode(decoder.get(), stream.data(), static_cast<int32_t>(stream.size()), 0, 0, &picture, nullptr),
              kAvcDecNoPicture)
        << run;
  }
  Decoder partial = avc_test::CreateDecoder(2, 6, 1, 0);
  const std::vector<uint8_t> ten = PcmThenSkipRun(2, 10);
  AvcDecPicture tenSkipped;
  ASSERT_EQ(AvcDecDecode(partial.get(), ten.data(), static_cast<int32_t>(ten.size()), 0, 0, &tenSkipped, nullptr),
            kAvcDecPicture);
  EXPECT_EQ(tenSkipped.incomplete, 1);  // the first two macroblocks are never sent
  Decoder whole = avc_test::CreateDecoder(2, 6, 1, 0);
  const std::vector<uint8_t> stream = PcmThenSkipRun(0, 12);
  AvcDecPicture picture;
  ASSERT_EQ(AvcDecDecode(whole.get(), stream.data(), static_cast<int32_t>(stream.size()), 0, 0, &picture, nullptr),
            kAvcDecPicture);
  EXPECT_EQ(picture.incomplete, 0);
  EXPECT_EQ(avc_test::PictureMd5(picture), flat);
}

}  // namespace
