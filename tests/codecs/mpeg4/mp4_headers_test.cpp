// Stream headers and the small rules of the decoder that a whole-stream
// comparison would not pin down: VOL refusals, matrix loading, field
// widths, chroma vector rounding, the guarded bit reader.
#include "codecs/mpeg4/mp4_headers.h"

#include <gtest/gtest.h>

#include <vector>

#include "codecs/mpeg4/mp4_bit_reader.h"
#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/mpeg4/mp4_motion.h"
#include "codecs/mpeg4/mp4_tables.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"

namespace {

struct VolFields {
  uint32_t verid = 1;  // written with is_object_layer_identifier when not 1
  uint32_t shape = 0;
  uint32_t resolution = 25;
  uint32_t width = 64, height = 48;
  uint32_t obmcDisable = 1;
  uint32_t sprite = 0;
  uint32_t not8Bit = 0;
  uint32_t quantType = 0;
  std::vector<uint8_t> intraMatrix;  // loaded when not empty (a 0 ends it early)
  uint32_t complexityDisable = 1;
  uint32_t dataPartitioned = 0;
  uint32_t newpred = 0;
  uint32_t scalability = 0;
  bool userDataAfter = false;
};

std::vector<uint8_t> MakeVol(const VolFields& f) {
  Mp4BitWriter w;
  w.Put(0x00000100, 32);  // video object
  w.Put(0x00000120, 32);  // video object layer
  w.Put(0, 1);            // random_accessible_vol
  w.Put(1, 8);            // video_object_type_indication
  if (f.verid != 1) {
    w.Put(1, 1);
    w.Put(f.verid, 4);
    w.Put(1, 3);
  } else {
    w.Put(0, 1);
  }
  w.Put(1, 4);  // aspect ratio 1:1
  w.Put(0, 1);  // vol_control_parameters
  w.Put(f.shape, 2);
  if (f.shape != 0) {
    w.Stuff();
    return w.bytes();
  }
  w.Put(1, 1);
  w.Put(f.resolution, 16);
  w.Put(1, 1);
  w.Put(0, 1);  // fixed_vop_rate
  w.Put(1, 1);
  w.Put(f.width, 13);
  w.Put(1, 1);
  w.Put(f.height, 13);
  w.Put(1, 1);
  w.Put(0, 1);  // interlaced
  w.Put(f.obmcDisable, 1);
  w.Put(f.sprite, f.verid == 1 ? 1 : 2);
  w.Put(f.not8Bit, 1);
  if (f.not8Bit) w.Put(5 << 4 | 8, 8);
  w.Put(f.quantType, 1);
  if (f.quantType) {
    w.Put(f.intraMatrix.empty() ? 0 : 1, 1);
    for (uint8_t v : f.intraMatrix) w.Put(v, 8);
    w.Put(0, 1);  // load_nonintra_quant_mat
  }
  if (f.verid != 1) w.Put(0, 1);  // quarter_sample
  w.Put(f.complexityDisable, 1);
  w.Put(1, 1);  // resync_marker_disable
  w.Put(f.dataPartitioned, 1);
  if (f.verid != 1) {
    w.Put(f.newpred, 1);
    w.Put(0, 1);  // reduced_resolution_vop_enable
  }
  w.Put(f.scalability, 1);
  w.Stuff();
  std::vector<uint8_t> bytes = w.bytes();
  if (f.userDataAfter) bytes.insert(bytes.end(), {0, 0, 1, 0xB2, 'x', 'y'});
  return bytes;
}

int32_t ParseVol(const VolFields& f, Mp4VolHeader& vol, uint32_t width = 64, uint32_t height = 48) {
  const std::vector<uint8_t> bytes = MakeVol(f);
  Mp4BitReader r(bytes.data(), bytes.size());
  vol = DefaultMp4Vol(width, height);
  return ParseMp4Vol(r, width, height, vol);
}

TEST(Mp4Vol, RefusesWhatTheDecoderCannotReadOrDecode) {
  struct Case {
    const char* what;
    VolFields fields;
    int32_t code;
  };
  auto with = [](auto change) {
    VolFields f;
    change(f);
    return f;
  };
  const Case cases[] = {
      {"plain", VolFields{}, MP4DEC_OK},
      {"user data after it", with([](VolFields& f) { f.userDataAfter = true; }), MP4DEC_ERR_VOL_USER_DATA},
      {"binary shape", with([](VolFields& f) { f.shape = 1; }), MP4DEC_ERR_SHAPE},
      {"another width", with([](VolFields& f) { f.width = 80; }), MP4DEC_ERR_SIZE},
      {"another height", with([](VolFields& f) { f.height = 32; }), MP4DEC_ERR_SIZE},
      {"sprites", with([](VolFields& f) { f.sprite = 1; }), MP4DEC_ERR_UNSUPPORTED_VOL},
      {"global motion (verid 2)", with([](VolFields& f) { f.verid = 2, f.sprite = 2; }), MP4DEC_ERR_UNSUPPORTED_VOL},
      {"overlapped motion", with([](VolFields& f) { f.obmcDisable = 0; }), MP4DEC_ERR_UNSUPPORTED_VOL},
      {"not 8 bit", with([](VolFields& f) { f.not8Bit = 1; }), MP4DEC_ERR_UNSUPPORTED_VOL},
      {"newpred", with([](VolFields& f) { f.verid = 2, f.newpred = 1; }), MP4DEC_ERR_UNSUPPORTED_VOL},
      {"complexity estimation", with([](VolFields& f) { f.complexityDisable = 0; }), MP4DEC_ERR_COMPLEXITY},
      {"data partitioning", with([](VolFields& f) { f.dataPartitioned = 1; }), MP4DEC_ERR_DATA_PARTITIONED},
      {"scalability", with([](VolFields& f) { f.scalability = 1; }), MP4DEC_ERR_SCALABILITY},
  };
  for (const Case& c : cases) {
    Mp4VolHeader vol;
    EXPECT_EQ(ParseVol(c.fields, vol), c.code) << c.what;
  }
}

TEST(Mp4Vol, LoadedMatrixEndsAtAZeroAndRepeatsItsLastValue) {
  VolFields f;
  f.quantType = 1;
  f.intraMatrix = {8, 16, 0};
  Mp4VolHeader vol;
  ASSERT_EQ(ParseVol(f, vol), 0);
  EXPECT_EQ(vol.intraMatrix[mp4_tables::kZigzag[0]], 8);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(vol.intraMatrix[mp4_tables::kZigzag[size_t(i)]], 16) << i;
  EXPECT_EQ(vol.interMatrix, mp4_tables::kDefaultInterMatrix);
}

TEST(Mp4Vol, RefusedVolLeavesTheDecoderAsItWas) {
  // Through the interface: a VOL for another size followed by a VOP in the
  // same data gives 113, not a picture decoded with half a header.
  Mp4Decoder* d = nullptr;
  ASSERT_EQ(Mp4Dec_Create(&d, 64, 48, 0, 0), 0);
  VolFields f;
  f.width = 80;
  std::vector<uint8_t> data = MakeVol(f);
  data.insert(data.end(), {0, 0, 1, 0xB6, 0x00, 0x00, 0x00, 0x00});
  Mp4DecFrame frame;
  frame.data = data.data();
  frame.length = data.size();
  EXPECT_EQ(Mp4Dec_Decode(d, &frame, 0), MP4DEC_ERR_SIZE);
  Mp4Dec_Destroy(d, 0);
}

TEST(Mp4Headers, TimeIncrementWidthIsTheBitsOfTheResolution) {
  const std::pair<uint32_t, int> cases[] = {{1, 1},  {2, 1},  {3, 2},      {16, 4},
                                            {17, 5}, {25, 5}, {30000, 15}, {65535, 16}};
  for (auto [resolution, bits] : cases) EXPECT_EQ(Mp4TimeIncrementBits(resolution), bits) << resolution;
}

TEST(Mp4Motion, ChromaVectorsRoundAsTheStandardsTables) {
  const std::pair<int, int> sums[] = {{0, 0}, {2, 0}, {3, 1}, {14, 2}, {-14, -2}, {16, 2}, {-3, -1}, {31, 4}};
  for (auto [sum, chroma] : sums) EXPECT_EQ(Mp4ChromaFromSum4(sum), chroma) << sum;
  const std::pair<int, int> single[] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 3}, {-1, -1}, {-2, -1}, {-4, -2}};
  for (auto [luma, chroma] : single) EXPECT_EQ(Mp4ChromaFromLuma(luma), chroma) << luma;
}

TEST(Mp4BitReader, ReadsZerosPastTheEndAndNoticesOverrun) {
  const uint8_t data[] = {0xA5, 0xFF, 0x01};
  Mp4BitReader r(data, sizeof data);
  EXPECT_EQ(r.Peek(32), 0xA5FF0100u);
  r.Skip(4);
  EXPECT_EQ(r.Read(16), 0x5FF0u);
  EXPECT_EQ(r.Peek(12), 0x100u);  // the last four bits, then zeros
  EXPECT_FALSE(r.Overrun());
  r.Skip(4);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.Overrun());
  EXPECT_EQ(r.Read(32), 0u);
  EXPECT_TRUE(r.Overrun());
  Mp4BitReader empty(nullptr, 0);
  EXPECT_EQ(empty.Peek(32), 0u);
  EXPECT_FALSE(empty.NextStartCode());
}

}  // namespace
