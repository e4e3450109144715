// Hand-made P-VOPs over a real intra picture: how far vectors may reach,
// what the margins hold, and how vectors wrap at the ends of their range.
#include <gtest/gtest.h>

#include <vector>

#include "codecs/pixels/output_formats.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kW = 48, kH = 32;  // 3 x 2 macroblocks

class Mp4MotionVectors : public testing::Test {
 protected:
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    dir_ = std::make_unique<testing_support::ScratchDir>("mp4_vectors");
    // 25 pictures per second: a 5-bit time increment.
    auto s = EncodeMp4TestStream(*dir_ / "i.m4v", kW, kH, 1, "-c:v mpeg4 -q:v 2");
    ASSERT_TRUE(s);
    intra_ = s->units[0];
    ASSERT_EQ(Mp4Dec_Create(&d_, kW, kH, 0, 0), 0);
    ASSERT_EQ(Decode(intra_), 0);
    reference_ = out_;
  }
  void TearDown() override { Mp4Dec_Destroy(d_, 0); }

  int32_t Decode(const std::vector<uint8_t>& data) {
    out_.assign(I420Size(kW, kH), 0);
    Mp4DecFrame f;
    f.width = kW;
    f.height = kH;
    f.data = data.data();
    f.length = data.size();
    f.output = out_.data();
    f.format = OUTPUT_FORMAT_I420;
    f.stride = kW;
    return Mp4Dec_Decode(d_, &f, 0);
  }

  // A P-VOP header with `fcode`; the macroblocks follow.
  static Mp4BitWriter PVop(uint32_t fcode) {
    Mp4BitWriter w;
    w.Put(0x000001B6, 32);
    w.Put(1, 2);       // P
    w.Put(0b01, 2);    // modulo_time_base, marker
    w.Put(1, 5);       // time increment
    w.Put(0b11, 2);    // marker, vop_coded
    w.Put(0, 1);       // rounding
    w.Put(0, 3);       // intra_dc_vlc_thr
    w.Put(4, 5);       // quant
    w.Put(fcode, 3);
    return w;
  }
  // A one-vector macroblock without residual; the motion codes are given
  // as written (code bits with sign, then the residual bits).
  static void InterMacroblock(Mp4BitWriter& w, uint32_t xBits, int xLength, uint32_t yBits, int yLength) {
    w.Put(0, 1);     // coded
    w.Put(1, 1);     // MCBPC: inter, no chroma
    w.Put(0b11, 2);  // CBPY 15: no luma for an inter macroblock
    w.Put(xBits, xLength);
    w.Put(yBits, yLength);
  }
  static void Skip(Mp4BitWriter& w, int count) {
    for (int i = 0; i < count; ++i) w.Put(1, 1);
  }
  uint8_t Y(const std::vector<uint8_t>& p, int x, int y) const { return p[size_t(y) * kW + size_t(x)]; }

  std::unique_ptr<testing_support::ScratchDir> dir_;
  Mp4Decoder* d_ = nullptr;
  std::vector<uint8_t> intra_, out_, reference_;
};

TEST_F(Mp4MotionVectors, ThirtyTwoSamplesLeftReadTheMarginOfTheFirstColumn) {
  // fcode 2: motion_code -32 ("0000 0000 0010" + sign 1) and residual 1 give -64.
  Mp4BitWriter w = PVop(2);
  InterMacroblock(w, 0b00000000001011, 14, 0b1, 1);
  Skip(w, 5);
  w.Stuff();
  ASSERT_EQ(Decode(w.bytes()), 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(Y(out_, x, y), Y(reference_, 0, y)) << x << "," << y;
  for (int y = 0; y < kH; ++y)
    for (int x = 16; x < kW; ++x) ASSERT_EQ(Y(out_, x, y), Y(reference_, x, y));
}

TEST_F(Mp4MotionVectors, ThirtyThreeSamplesOutsideFailTheVop) {
  // fcode 3: motion_code -17 ("0000 0010 11" + sign 1), residual 01: -66.
  Mp4BitWriter w = PVop(3);
  InterMacroblock(w, 0b0000001011101, 13, 0b1, 1);
  Skip(w, 5);
  w.Stuff();
  EXPECT_EQ(Decode(w.bytes()), MP4DEC_MACROBLOCK_ERROR);
  // The same syntax one step inside: motion_code -16 ("0000 0011 00" +
  // sign 1), residual 11: -64.
  Mp4BitWriter inside = PVop(3);
  InterMacroblock(inside, 0b0000001100111, 13, 0b1, 1);
  Skip(inside, 5);
  inside.Stuff();
  EXPECT_EQ(Decode(inside.bytes()), 0);
}

TEST_F(Mp4MotionVectors, VectorsWrapAtTheEndsOfTheirRange) {
  // fcode 1 (range -32..31): the first macroblock's 31 ("0000 0000 0011" +
  // sign 0) plus the second's difference 1 ("010") wraps to -32, 16 samples
  // left: the second macroblock repeats the first one's reference samples.
  Mp4BitWriter w = PVop(1);
  InterMacroblock(w, 0b0000000000110, 13, 0b1, 1);
  InterMacroblock(w, 0b010, 3, 0b1, 1);
  Skip(w, 4);
  w.Stuff();
  ASSERT_EQ(Decode(w.bytes()), 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(Y(out_, 16 + x, y), Y(reference_, x, y)) << x << "," << y;
}

}  // namespace
