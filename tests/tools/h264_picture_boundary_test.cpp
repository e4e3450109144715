// Where one primary coded picture ends and the next begins, for the header
// fields no available stream varies: field pictures, both picture order
// count types, redundant pictures, High-profile parameter sets with scaling
// lists and cropping.  The streams are written bit by bit here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/field_pair_records.h"

namespace {

class BitWriter {
 public:
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
  }
  void Flag(bool value) { Bits(value, 1); }
  void Ue(uint32_t value) {
    const uint64_t code = uint64_t{value} + 1;
    int length = 0;
    while ((code >> (length + 1)) != 0) ++length;
    Bits(0, length);
    for (int i = length; i >= 0; --i) bits_.push_back((code >> i) & 1);
  }
  void Se(int32_t value) { Ue(value > 0 ? 2 * static_cast<uint32_t>(value) - 1 : 2 * static_cast<uint32_t>(-value)); }

  // A NAL unit with a 4-byte start code: the RBSP stop bit, then emulation
  // prevention bytes where the payload would look like a start code.
  std::vector<uint8_t> Nal(uint8_t header) {
    Bits(1, 1);
    while (bits_.size() % 8) bits_.push_back(0);
    std::vector<uint8_t> nal{0, 0, 0, 1, header};
    int zeros = 0;
    for (size_t i = 0; i < bits_.size(); i += 8) {
      uint8_t byte = 0;
      for (int b = 0; b < 8; ++b) byte = static_cast<uint8_t>((byte << 1) | bits_[i + b]);
      if (zeros >= 2 && byte <= 3) {
        nal.push_back(3);
        zeros = 0;
      }
      nal.push_back(byte);
      zeros = byte == 0 ? zeros + 1 : 0;
    }
    bits_.clear();
    return nal;
  }

 private:
  std::vector<int> bits_;
};

// SPS 0: High 4:2:0, field coding allowed, picture order count type 0,
// scaling lists, 352x288 cropped to 348x276.
std::vector<uint8_t> Sps0() {
  BitWriter w;
  w.Bits(100, 8); w.Bits(0, 8); w.Bits(30, 8);  // profile, constraints, level
  w.Ue(0);                                       // sps id
  w.Ue(1);                                       // chroma_format_idc 4:2:0
  w.Ue(0); w.Ue(0); w.Flag(false);               // bit depths, transform bypass
  w.Flag(true);                                  // seq_scaling_matrix_present_flag
  for (int i = 0; i < 8; ++i) {
    w.Flag(i == 0 || i == 6);
    if (i == 0) for (int j = 0; j < 16; ++j) w.Se(j % 3 - 1);  // explicit 4x4 list
    if (i == 6) w.Se(-8);                                        // 8x8: back to the default
  }
  w.Ue(0);                  // log2_max_frame_num_minus4
  w.Ue(0); w.Ue(2);         // pic_order_cnt_type 0, log2_max_pic_order_cnt_lsb_minus4
  w.Ue(1); w.Flag(false);   // max_num_ref_frames, gaps
  w.Ue(21); w.Ue(8);        // 22 x 9 map units of field pairs: 352x288
  w.Flag(false); w.Flag(false); w.Flag(true);  // frame_mbs_only, mbaff, direct_8x8
  w.Flag(true); w.Ue(0); w.Ue(2); w.Ue(0); w.Ue(3);  // crop right 2x2, bottom 3x4
  w.Flag(false);            // no VUI
  return w.Nal(0x67);
}

// SPS 1: High 4:4:4, frames only, picture order count type 1, twelve
// scaling lists, 176x144 cropped by one pixel left and top.
std::vector<uint8_t> Sps1() {
  BitWriter w;
  w.Bits(244, 8); w.Bits(0, 8); w.Bits(30, 8);
  w.Ue(1);
  w.Ue(3); w.Flag(false);   // 4:4:4, no separate colour planes
  w.Ue(0); w.Ue(0); w.Flag(false);
  w.Flag(true);
  for (int i = 0; i < 12; ++i) {
    w.Flag(i % 4 == 1);
    if (i % 4 == 1) for (int j = 0; j < (i < 6 ? 16 : 64); ++j) w.Se(j == 0 ? 5 : 1);
  }
  w.Ue(0);
  w.Ue(1); w.Flag(false); w.Se(-2); w.Se(1); w.Ue(2); w.Se(4); w.Se(-3);  // poc type 1, cycle of 2
  w.Ue(1); w.Flag(false);
  w.Ue(10); w.Ue(8);        // 176x144
  w.Flag(true); w.Flag(true);
  w.Flag(true); w.Ue(1); w.Ue(0); w.Ue(1); w.Ue(0);
  w.Flag(false);
  return w.Nal(0x67);
}

// PPS n uses SPS n, with the bottom field order fields and redundant
// picture counts present.
std::vector<uint8_t> Pps(uint32_t id) {
  BitWriter w;
  w.Ue(id); w.Ue(id);
  w.Flag(false); w.Flag(true);  // CAVLC, bottom_field_pic_order_in_frame_present_flag
  w.Ue(0);                      // one slice group
  w.Ue(0); w.Ue(0); w.Flag(false); w.Bits(0, 2);
  w.Se(0); w.Se(0); w.Se(0);
  w.Flag(true); w.Flag(false);
  w.Flag(true);                 // redundant_pic_cnt_present_flag
  return w.Nal(0x68);
}

struct Slice {
  uint32_t pps = 0;  // 0: poc type 0 with field coding, 1: poc type 1
  bool idr = false;
  uint8_t refIdc = 2;
  uint32_t firstMb = 0;
  uint32_t frameNum = 0;
  bool field = false;
  bool bottom = false;
  uint32_t idrPicId = 0;
  uint32_t pocLsb = 0;
  int32_t deltaBottom = 0;  // delta_pic_order_cnt_bottom, or delta_pic_order_cnt[1]
  int32_t delta0 = 0;       // delta_pic_order_cnt[0]
  uint32_t redundantPicCnt = 0;
};

std::vector<uint8_t> SliceNal(const Slice& s) {
  BitWriter w;
  w.Ue(s.firstMb);
  w.Ue(s.idr ? 7 : 5);  // I or P, all slices of the picture alike
  w.Ue(s.pps);
  w.Bits(s.frameNum, 4);
  if (s.pps == 0) {
    w.Flag(s.field);
    if (s.field) w.Flag(s.bottom);
  }
  if (s.idr) w.Ue(s.idrPicId);
  if (s.pps == 0) {
    w.Bits(s.pocLsb, 6);
    if (!s.field) w.Se(s.deltaBottom);
  } else {
    w.Se(s.delta0);
    w.Se(s.deltaBottom);
  }
  w.Ue(s.redundantPicCnt);
  w.Bits(0x2A, 7);  // as if the slice data followed
  return w.Nal(static_cast<uint8_t>((s.refIdc << 5) | (s.idr ? 5 : 1)));
}

std::vector<uint8_t> Stream(const std::vector<Slice>& slices) {
  std::vector<uint8_t> stream;
  for (const auto& nal : {Sps0(), Sps1(), Pps(0), Pps(1)}) stream.insert(stream.end(), nal.begin(), nal.end());
  for (const Slice& slice : slices) {
    const auto nal = SliceNal(slice);
    stream.insert(stream.end(), nal.begin(), nal.end());
  }
  return stream;
}

struct Boundary {
  const char* name;
  Slice first;
  Slice second;
  bool newPicture;
};

class PictureBoundary : public testing::TestWithParam<Boundary> {};

void PrintTo(const Boundary& boundary, std::ostream* out) { *out << boundary.name; }

TEST_P(PictureBoundary, SecondSliceStartsNewUnitOrNot) {
  std::string error;
  const auto units = SplitAnnexB(Stream({GetParam().first, GetParam().second}), &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(units.size(), GetParam().newPicture ? 2u : 1u);
}

Slice With(Slice s, void (*change)(Slice&)) {
  change(s);
  return s;
}

const Slice kTop{.pps = 0, .field = true};
const Slice kFrame0{.pps = 0};
const Slice kFrame1{.pps = 1};
const Slice kIdr{.pps = 0, .idr = true, .idrPicId = 3};

INSTANTIATE_TEST_SUITE_P(
    H264, PictureBoundary,
    testing::Values(
        Boundary{"SlicesOfOnePictureInAnyOrder", With(kFrame0, [](Slice& s) { s.firstMb = 50; }), kFrame0, false},
        // 23 leading zero bits: the writer must insert an emulation prevention byte.
        Boundary{"FarFirstMbBehindEmulationPrevention", kFrame0, With(kFrame0, [](Slice& s) { s.firstMb = (1u << 23) - 1; }), false},
        Boundary{"FrameNum", kFrame0, With(kFrame0, [](Slice& s) { s.frameNum = 1; }), true},
        Boundary{"PictureParameterSet", kFrame0, kFrame1, true},
        Boundary{"TopThenBottomField", kTop, With(kTop, [](Slice& s) { s.bottom = true; }), true},
        Boundary{"FieldThenFrame", kTop, kFrame0, true},
        Boundary{"SameField", kTop, With(kTop, [](Slice& s) { s.firstMb = 9; }), false},
        Boundary{"RefIdcZeroAgainstNonZero", kFrame0, With(kFrame0, [](Slice& s) { s.refIdc = 0; }), true},
        Boundary{"RefIdcBothNonZero", kFrame0, With(kFrame0, [](Slice& s) { s.refIdc = 3; }), false},
        Boundary{"PicOrderCntLsb", kFrame0, With(kFrame0, [](Slice& s) { s.pocLsb = 2; }), true},
        Boundary{"DeltaPicOrderCntBottom", kFrame0, With(kFrame0, [](Slice& s) { s.deltaBottom = 1; }), true},
        Boundary{"DeltaPicOrderCnt0", kFrame1, With(kFrame1, [](Slice& s) { s.delta0 = -1; }), true},
        Boundary{"DeltaPicOrderCnt1", kFrame1, With(kFrame1, [](Slice& s) { s.deltaBottom = 2; }), true},
        Boundary{"IdrAfterNonIdr", kFrame0, With(kIdr, [](Slice& s) { s.idrPicId = 0; }), true},
        Boundary{"IdrPicId", kIdr, With(kIdr, [](Slice& s) { s.idrPicId = 4; }), true},
        Boundary{"SameIdrPicture", kIdr, With(kIdr, [](Slice& s) { s.firstMb = 7; }), false},
        Boundary{"RedundantCopyJoinsItsPicture", kFrame0,
                 With(kFrame0, [](Slice& s) { s.redundantPicCnt = 1; s.frameNum = 1; }), false}),
    [](const testing::TestParamInfo<Boundary>& info) { return std::string(info.param.name); });

TEST(PictureBoundary, EmulationPreventionIsInTheFixture) {
  const auto stream = Stream({kFrame0, With(kFrame0, [](Slice& s) { s.firstMb = (1u << 23) - 1; })});
  const uint8_t escaped[] = {0, 0, 3};
  EXPECT_NE(std::search(stream.begin(), stream.end(), std::begin(escaped), std::end(escaped)), stream.end());
}

// Scaling lists must be skipped bit-exactly for the cropping fields after
// them to give the size; each set keeps its own id.
TEST(PictureBoundary, HighProfileSetsGiveCroppedSizes) {
  const auto units = SplitAnnexB(Stream({kFrame0, kFrame1}));
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].width, 348);
  EXPECT_EQ(units[0].height, 276);
  EXPECT_EQ(units[1].width, 175);
  EXPECT_EQ(units[1].height, 143);
}

// Archive records: the second field of a complementary pair goes into the
// record of the first; every other picture is a record of its own.
struct Records {
  const char* name;
  std::vector<Slice> slices;
  size_t pictures;
  size_t records;
};

class FieldPairRecords : public testing::TestWithParam<Records> {};

void PrintTo(const Records& records, std::ostream* out) { *out << records.name; }

TEST_P(FieldPairRecords, SecondFieldJoinsTheFirst) {
  std::string error;
  const std::vector<AccessUnit> pictures = SplitAnnexB(Stream(GetParam().slices), &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(pictures.size(), GetParam().pictures);
  const std::vector<AccessUnit> records = JoinFieldPairs(pictures);
  EXPECT_EQ(records.size(), GetParam().records);
  // Nothing lost, nothing moved; a record is an IDR record by its first picture.
  std::vector<uint8_t> all, joined;
  for (const AccessUnit& picture : pictures) all.insert(all.end(), picture.bytes.begin(), picture.bytes.end());
  for (const AccessUnit& record : records) joined.insert(joined.end(), record.bytes.begin(), record.bytes.end());
  EXPECT_EQ(joined, all);
  size_t at = 0;
  for (const AccessUnit& record : records) {
    EXPECT_EQ(record.offset, pictures[at].offset);
    EXPECT_EQ(record.idr, pictures[at].idr);
    while (at < pictures.size() && pictures[at].offset < record.offset + record.bytes.size()) ++at;
  }
}

const Slice kBottom{.pps = 0, .field = true, .bottom = true};

INSTANTIATE_TEST_SUITE_P(
    H264, FieldPairRecords,
    testing::Values(
        Records{"TopThenBottom", {kTop, kBottom}, 2, 1},
        Records{"BottomThenTop", {kBottom, kTop}, 2, 1},
        Records{"SlicesOfBothFields", {kTop, With(kTop, [](Slice& s) { s.firstMb = 9; }), kBottom,
                                       With(kBottom, [](Slice& s) { s.firstMb = 9; })}, 2, 1},
        Records{"TwoPairs", {kTop, kBottom, With(kTop, [](Slice& s) { s.frameNum = 1; }),
                             With(kBottom, [](Slice& s) { s.frameNum = 1; })}, 4, 2},
        Records{"ThirdFieldAlone", {kTop, kBottom, With(kTop, [](Slice& s) { s.pocLsb = 4; })}, 3, 2},
        Records{"SameParity", {kTop, With(kTop, [](Slice& s) { s.pocLsb = 2; })}, 2, 2},
        Records{"OtherFrameNum", {kTop, With(kBottom, [](Slice& s) { s.frameNum = 1; })}, 2, 2},
        Records{"ReferenceThenNonReference", {kTop, With(kBottom, [](Slice& s) { s.refIdc = 0; })}, 2, 2},
        Records{"NonReferencePair", {With(kTop, [](Slice& s) { s.refIdc = 0; }),
                                     With(kBottom, [](Slice& s) { s.refIdc = 0; })}, 2, 1},
        Records{"IdrThenItsSecondField", {With(kTop, [](Slice& s) { s.idr = true; }), kBottom}, 2, 1},
        Records{"IdrSecondFieldBeginsAFrame", {With(kTop, [](Slice& s) { s.idr = true; }),
                                               With(kBottom, [](Slice& s) { s.idr = true; s.idrPicId = 1; })}, 2, 2},
        Records{"FieldThenFrame", {kTop, kFrame0}, 2, 2},
        Records{"FrameThenField", {kFrame0, kBottom}, 2, 2},
        Records{"FramesStayAlone", {kFrame0, With(kFrame0, [](Slice& s) { s.frameNum = 1; })}, 2, 2}),
    [](const testing::TestParamInfo<Records>& info) { return std::string(info.param.name); });

}  // namespace
