// Motion-vector prediction against hand-worked cases, motion compensation at
// and beyond the picture's edges, and explicit weighting at its limits.
#include <gtest/gtest.h>

#include <vector>

#include "codecs/h264/kernel_set.h"
#include "codecs/h264/motion_compensation.h"
#include "codecs/h264/motion_vector_prediction.h"

namespace {

using avc::MvNeighbour;
using avc::PartitionShape;

MvNeighbour N(int refIdx, int x, int y, bool available = true) {
  MvNeighbour n;
  n.available = available;
  n.refIdx = refIdx;
  n.mv[0] = x;
  n.mv[1] = y;
  return n;
}

struct MvCase {
  const char* name;
  MvNeighbour a, b, c;
  int refIdx;
  PartitionShape shape;
  int partition;
  int x, y;
};

TEST(MotionVectorPrediction, FollowsTheMedianAndDirectionalRules) {
  const MvNeighbour none;
  const MvCase cases[] = {
      {"median per component", N(0, 1, 9), N(0, 5, -3), N(0, 3, 4), 0, PartitionShape::kOther, 0, 3, 4},
      {"one neighbour with the reference", N(1, 1, 9), N(0, 5, -3), N(2, 3, 4), 0, PartitionShape::kOther, 0, 5, -3},
      {"only A in reach", N(2, 7, 8), none, none, 0, PartitionShape::kOther, 0, 7, 8},
      {"intra neighbours count as zero", N(-1, 0, 0), N(0, 6, 6), N(-1, 0, 0), 1, PartitionShape::kOther, 0, 0, 0},
      {"16x8 upper takes B", N(0, 1, 1), N(1, 9, 9), N(0, 2, 2), 1, PartitionShape::k16x8, 0, 9, 9},
      {"16x8 lower takes A", N(1, 4, 4), N(1, 9, 9), N(1, 2, 2), 1, PartitionShape::k16x8, 1, 4, 4},
      {"16x8 upper without a match: median", N(0, 1, 1), N(1, 9, 9), N(0, 2, 2), 0, PartitionShape::k16x8, 0, 2, 2},
      {"8x16 left takes A", N(0, 5, 6), N(0, 9, 9), N(0, 2, 2), 0, PartitionShape::k8x16, 0, 5, 6},
      {"8x16 right takes C", N(0, 5, 6), N(0, 9, 9), N(0, 2, 3), 0, PartitionShape::k8x16, 1, 2, 3},
  };
  for (const MvCase& c : cases) {
    int mv[2];
    avc::PredictMv(c.a, c.b, c.c, c.refIdx, c.shape, c.partition, mv);
    EXPECT_EQ(mv[0], c.x) << c.name;
    EXPECT_EQ(mv[1], c.y) << c.name;
  }
}

TEST(MotionVectorPrediction, SkipIsZeroAtEdgesAndBesideStillNeighbours) {
  int mv[2];
  avc::PredictSkipMv(N(0, 4, 4, false), N(0, 8, 8), N(0, 8, 8), mv);
  EXPECT_EQ(mv[0], 0);
  avc::PredictSkipMv(N(0, 4, 4), N(0, 0, 0), N(0, 8, 8), mv);
  EXPECT_EQ(mv[0], 0);
  avc::PredictSkipMv(N(1, 0, 0), N(0, 8, 8), N(0, 6, 2), mv);  // A still but on reference 1
  EXPECT_EQ(mv[0], 6);
  EXPECT_EQ(mv[1], 2);
}

class MotionCompensation : public testing::Test {
 protected:
  static constexpr int kW = 32, kH = 32;
  void SetUp() override {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) luma_[y * kW + x] = static_cast<uint8_t>(8 * x - y);
    for (int i = 0; i < kW * kH / 4; ++i) cb_[i] = cr_[i] = static_cast<uint8_t>(i);
  }
  void Predict(int x, int y, int size, int mvx, int mvy) {
    const avc::ReferencePlanes ref{{luma_, cb_, cr_}, kW, kH};
    const avc::PredictionTarget t{{out_, outCb_, outCr_}, kW, kW / 2};
    avc::PredictPartition(avc::PlainKernels(), ref, t, x, y, size, size, mvx, mvy);
  }
  uint8_t luma_[kW * kH] = {}, cb_[kW * kH / 4] = {}, cr_[kW * kH / 4] = {};
  uint8_t out_[kW * kH] = {}, outCb_[kW * kH / 4] = {}, outCr_[kW * kH / 4] = {};
};

TEST_F(MotionCompensation, AVectorFarLeftRepeatsTheFirstColumn) {
  Predict(0, 8, 8, -40 * 4, 0);
  for (int y = 8; y < 16; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(out_[y * kW + x], luma_[y * kW]) << x << "," << y;
}

TEST_F(MotionCompensation, MinusOneQuarterIsTheThreeQuarterPositionLeft) {
  // On a ramp of 8 per sample the 6-tap filter is exact: one sample to the
  // left and three quarters on is 8x - 2.
  Predict(8, 8, 8, -1, 0);
  for (int y = 8; y < 16; ++y)
    for (int x = 8; x < 16; ++x) EXPECT_EQ(out_[y * kW + x], 8 * x - 2 - y) << x << "," << y;
}

TEST_F(MotionCompensation, ChromaAtTheBottomRightEdgeClampsItsFourSamples) {
  Predict(16, 16, 16, 4 * 40, 4 * 40);  // far past the bottom right corner
  const uint8_t corner = cb_[(kH / 2 - 1) * (kW / 2) + kW / 2 - 1];
  for (int y = 8; y < 16; ++y)
    for (int x = 8; x < 16; ++x) EXPECT_EQ(outCb_[y * (kW / 2) + x], corner);
}

TEST(ExplicitWeighting, ClipsAtBothEndsAndRoundsOnlyWithADenominator) {
  const avc::KernelSet& k = avc::PlainKernels();
  uint8_t block[4] = {255, 255, 255, 255};
  k.weight(block, 4, 4, 1, 127, 0, 5);
  EXPECT_EQ(block[0], 255);
  uint8_t negative[4] = {10, 200, 0, 255};
  k.weight(negative, 4, 4, 1, -3, -20, 1);
  EXPECT_EQ(negative[1], 0);
  EXPECT_EQ(negative[2], 0);
  uint8_t plain[4] = {10, 20, 30, 40};
  k.weight(plain, 4, 4, 1, 3, 5, 0);
  EXPECT_EQ(plain[0], 35);
  EXPECT_EQ(plain[3], 125);
  uint8_t rounding[1] = {3};
  k.weight(rounding, 1, 1, 1, 1, 0, 1);  // (3 + 1) >> 1
  EXPECT_EQ(rounding[0], 2);
}

}  // namespace
