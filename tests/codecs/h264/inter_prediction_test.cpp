// Motion-vector prediction against hand-worked cases, motion compensation at
// and beyond the picture's edges, and explicit weighting at its limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

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

// A 48x48 reference: a luma ramp of 4 per column, falling 1 per row, and
// chroma counting up in raster order.
class MotionCompensation : public testing::Test {
 protected:
  static constexpr int kW = 48, kH = 48;
  void SetUp() override {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) luma_[y * kW + x] = static_cast<uint8_t>(4 * x - y + 48);
    for (int i = 0; i < kW * kH / 4; ++i) cb_[i] = cr_[i] = static_cast<uint8_t>(i);
  }
  // Predicts a partition of the macroblock at (mbx, mby).
  void Predict(int mbx, int mby, int x, int y, int width, int height, int mvx, int mvy) {
    const avc::ReferencePlanes ref{{luma_, cb_, cr_}, kW, kW, kH, 0};
    avc::PredictPartition(avc::PlainKernels(), ref, {mbx, mby, x, y, width, height, mvx, mvy}, out_);
  }
  // Luma sample (x, y) of the macroblock in the sample buffer.
  int Luma(int x, int y) const { return out_.luma[(y >> 3) * 2 + (x >> 3)][(y & 7) * avc::kMbRowStep + (x & 7)]; }
  uint8_t luma_[kW * kH] = {}, cb_[kW * kH / 4] = {}, cr_[kW * kH / 4] = {};
  avc::MbSamples out_ = {};
};

TEST_F(MotionCompensation, AVectorFarLeftRepeatsTheFirstColumn) {
  Predict(0, 0, 0, 8, 8, 8, -40 * 4, 0);
  for (int y = 8; y < 16; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Luma(x, y), luma_[y * kW]) << x << "," << y;
}

TEST_F(MotionCompensation, MinusOneQuarterIsTheThreeQuarterPositionLeft) {
  // On a ramp the 6-tap filter is exact: one sample to the left and three
  // quarters on is one below the sample itself.  Every partition shape
  // composes its own kernel calls; all must land the same samples.
  const int shapes[][4] = {{0, 0, 16, 16}, {0, 8, 16, 8}, {8, 0, 8, 16}, {8, 8, 8, 8},
                           {0, 4, 8, 4},   {4, 0, 4, 8},  {12, 12, 4, 4}};
  for (const auto& s : shapes) {
    out_ = {};
    Predict(1, 1, s[0], s[1], s[2], s[3], -1, 0);
    for (int y = s[1]; y < s[1] + s[3]; ++y)
      for (int x = s[0]; x < s[0] + s[2]; ++x)
        EXPECT_EQ(Luma(x, y), luma_[(y + 16) * kW + x + 16] - 1) << s[2] << "x" << s[3] << " " << x << "," << y;
  }
}

TEST_F(MotionCompensation, ChromaAtTheBottomRightEdgeClampsItsFourSamples) {
  Predict(1, 1, 0, 0, 16, 16, 4 * 40 + 3, 4 * 40 + 5);  // far past the bottom right corner
  const uint8_t corner = cb_[(kH / 2 - 1) * (kW / 2) + kW / 2 - 1];
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out_.cb[i], corner);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Luma(x, y), luma_[kW * kH - 1]);
}

TEST_F(MotionCompensation, APictureOneMacroblockWideClampsBothSides) {
  // The filter area of a 16x16 block with fractions crosses both edges of a
  // 16x16 picture at once; every read stays inside it.
  uint8_t flat[16 * 16], flatCb[8 * 8], flatCr[8 * 8];
  std::memset(flat, 90, sizeof flat);
  std::memset(flatCb, 40, sizeof flatCb);
  std::memset(flatCr, 41, sizeof flatCr);
  const avc::ReferencePlanes ref{{flat, flatCb, flatCr}, 16, 16, 16, 0};
  avc::PredictPartition(avc::PlainKernels(), ref, {0, 0, 0, 0, 16, 16, 2, 6}, out_);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Luma(x, y), 90);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out_.cr[i], 41);
}

// One quadrant combined alone; `coded` adds a residual of `residual`.
struct Combined {
  avc::MbSamples samples = {};
  avc::MbResidual residual = {};
  avc::CombinationJob job = {};
  Combined(uint8_t prediction, int16_t residualValue, bool coded) {
    std::memset(&samples, prediction, sizeof samples);
    for (auto& block : residual.luma) std::fill(std::begin(block), std::end(block), residualValue);
    std::fill(std::begin(residual.cb), std::end(residual.cb), residualValue);
    std::fill(std::begin(residual.cr), std::end(residual.cr), residualValue);
    job.luma = samples.luma[3];
    job.cb = samples.cb + 36;
    job.cr = samples.cr + 36;
    job.lumaResidual = residual.luma[3];
    job.cbResidual = residual.cb + 36;
    job.crResidual = residual.cr + 36;
    job.lumaCoded = job.chromaCoded = coded;
  }
  void Explicit(int log2Denom, int weight, int offset) {
    job.lumaLog2Denom = job.chromaLog2Denom = log2Denom;
    job.lumaWeight = job.chromaWeight[0] = job.chromaWeight[1] = weight;
    job.lumaOffset = job.chromaOffset[0] = job.chromaOffset[1] = offset;
    avc::PlainKernels().combination[avc::kCombineExplicitL0](job);
  }
};

TEST(ExplicitWeighting, ClipsAtBothEndsAndRoundsOnlyWithADenominator) {
  struct Case {
    const char* name;
    uint8_t prediction;
    int16_t residual;
    bool coded;
    int log2Denom, weight, offset;
    int expected;
  };
  const Case cases[] = {
      {"weight 127 over 2^5 saturates", 255, 0, false, 5, 127, 0, 255},
      {"negative weight clips at 0", 200, 0, false, 1, -3, -20, 0},
      {"denominator 0 has no rounding term", 10, 0, false, 0, 3, 5, 35},
      {"rounding with a denominator", 3, 0, false, 1, 1, 0, 2},
      {"clipped before the residual is added", 200, -100, true, 0, 2, 0, 155},
      {"and clipped again after it", 250, 100, true, 0, 1, 0, 255},
  };
  for (const Case& c : cases) {
    Combined q(c.prediction, c.residual, c.coded);
    q.Explicit(c.log2Denom, c.weight, c.offset);
    EXPECT_EQ(q.samples.luma[3][63], c.expected) << c.name;
    EXPECT_EQ(q.samples.cr[63], c.expected) << c.name;
    EXPECT_EQ(q.samples.luma[0][0], c.prediction) << c.name << ": other quadrants stay";
  }
}

TEST(DefaultWeighting, LeavesAnUncodedQuadrantAsPredicted) {
  Combined uncoded(77, 50, false);
  avc::PlainKernels().combination[avc::kCombineDefaultL0](uncoded.job);
  EXPECT_EQ(uncoded.samples.luma[3][9], 77);
  Combined coded(77, -100, true);
  avc::PlainKernels().combination[avc::kCombineDefaultL0](coded.job);
  EXPECT_EQ(coded.samples.luma[3][9], 0);
  EXPECT_EQ(coded.samples.cb[36], 0);
}

}  // namespace
