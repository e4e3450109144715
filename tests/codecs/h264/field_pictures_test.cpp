// Field pictures through the decoder's entry points: what a call returns
// for a field or a pair; MBAFF stays refused.  (Every kind of interlaced
// stream against FFmpeg: tests/player/decode/qx264_kind_test.cpp.)
#include <gtest/gtest.h>

#include "codecs/h264/avc_decoder.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/support/test_support.h"

namespace {

using avc_test::Decoder;
using avc_test::DecodeUnit;

class FieldCalls : public testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::HaveProgram("ffmpeg")) GTEST_SKIP() << "program absent: ffmpeg";
    const avc_test::FieldStream s{"api_pairs", "field-pairs", "--poc-type-0 --bottom-first", 352, 288, 6, "ref=2"};
    const auto file = avc_test::MakeFieldStream(s, dir_.path());
    ASSERT_TRUE(file);
    units_ = avc_test::SplitAccessUnits(testing_support::ReadFile(*file));
    ASSERT_EQ(units_.size(), 12u);
  }
  testing_support::ScratchDir dir_{"h264_field_calls"};
  std::vector<std::vector<uint8_t>> units_;
};

// A call holding one field returns it with half the frame's height in its
// frame's planes; the values of a first field are its own, never those of an
// earlier picture in the same entry, and a pair's are the frame's.
TEST_F(FieldCalls, EachFieldIsReturnedWithItsOwnValues) {
  Decoder decoder = avc_test::CreateDecoder(22, 18);
  for (size_t i = 0; i < units_.size(); i += 2) {
    AvcDecPicture first, second;
    ASSERT_EQ(DecodeUnit(decoder.get(), units_[i], first), kAvcDecPicture) << i;
    EXPECT_EQ(first.fieldPicture, 1);
    EXPECT_EQ(first.height, 144);
    EXPECT_EQ(first.lumaStride, 352);
    EXPECT_EQ(first.idr, i == 0 ? 1 : 0) << i;
    EXPECT_EQ(first.incomplete, 0) << i;
    // The rewriter counts 2 per field: 0 for the first bottom field.
    EXPECT_EQ(first.picOrderCnt, static_cast<int32_t>(2 * i)) << i;
    ASSERT_EQ(DecodeUnit(decoder.get(), units_[i + 1], second), kAvcDecPicture) << i;
    EXPECT_EQ(second.fieldPicture, 1);
    EXPECT_EQ(second.y, first.y);
    EXPECT_EQ(second.storeIndex, first.storeIndex);
    EXPECT_EQ(second.idr, i == 0 ? 1 : 0) << i;
    // The frame's count is the smaller of its fields': the first one's.
    EXPECT_EQ(second.picOrderCnt, first.picOrderCnt) << i;
  }
}

// A pair in one call returns the second field, its frame complete; a pair
// whose first field lost its last slice is incomplete as a whole.
TEST_F(FieldCalls, APairInOneCallIsOneFrameIncompleteWhenEitherFieldIs) {
  Decoder decoder = avc_test::CreateDecoder(22, 18);
  AvcDecPicture picture;
  std::vector<uint8_t> pair = units_[0];
  pair.insert(pair.end(), units_[1].begin(), units_[1].end());
  ASSERT_EQ(DecodeUnit(decoder.get(), pair, picture), kAvcDecPicture);
  EXPECT_EQ(picture.fieldPicture, 1);
  EXPECT_EQ(picture.incomplete, 0);
  EXPECT_EQ(picture.idr, 1);
  // The first field cut short, so that its slice stops early.
  std::vector<uint8_t> cut(units_[2].begin(), units_[2].begin() + static_cast<std::ptrdiff_t>(units_[2].size() / 2));
  cut.insert(cut.end(), units_[3].begin(), units_[3].end());
  ASSERT_EQ(DecodeUnit(decoder.get(), cut, picture), kAvcDecPicture);
  EXPECT_EQ(picture.incomplete, 1);
}

TEST(FieldRefusals, MbaffStreamsGiveNoPicture) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("h264_mbaff");
  ASSERT_TRUE(avc_test::MakeMbaffStream(dir / "mbaff.264", 352, 288, 3));
  EXPECT_TRUE(avc_test::DecodeFileMd5(dir / "mbaff.264", 22, 18).empty());
}

}  // namespace
