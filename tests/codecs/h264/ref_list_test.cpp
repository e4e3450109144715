// List 0 of P slices and reference marking: initial order, reordering,
// entries past the list, gap filling and the memory-management operations.
#include "codecs/h264/ref_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kW = 2, kH = 6, kFrameBytes = 384 * kW * kH;

class RefListTest : public testing::Test {
 protected:
  void SetUp() override {
    frames_.assign(size_t{20} * kFrameBytes, 0);
    store_.Attach(frames_.data(), 20, kFrameBytes, kW, kH, false);
    store_.Reset(8);
    sps_.widthInMbs = kW;
    sps_.frameHeightInMbs = kH;
    sps_.log2MaxFrameNum = 4;
    sps_.maxFrameNum = 16;
    sps_.pocType = 2;
    sps_.numRefFrames = 4;
  }
  // Starts (and so stores the previous) picture; returns its entry.
  uint32_t Picture(uint32_t frameNum, uint32_t refIdc = 1, std::vector<avc::MarkingOperation> ops = {}) {
    avc::SliceHeader h;
    h.nalUnitType = frameNum == 0 && first_ ? 5 : 1;
    first_ = false;
    h.nalRefIdc = refIdc;
    h.frameNum = frameNum;
    h.adaptiveRefPicMarking = !ops.empty();
    h.markingCount = static_cast<uint32_t>(ops.size());
    for (size_t i = 0; i < ops.size(); ++i) h.marking[i] = ops[i];
    EXPECT_EQ(store_.StartPicture(sps_, h, 0, 0), 0);
    store_.Current()->mbsDecoded = kW * kH;
    return store_.CurrentIndex();
  }
  // Starts a reference field of an interlaced sequence.
  void Field(uint32_t frameNum, bool bottom, std::vector<avc::MarkingOperation> ops = {}) {
    sps_.frameMbsOnly = false;
    avc::SliceHeader h;
    h.nalUnitType = frameNum == 0 && first_ ? 5 : 1;
    first_ = false;
    h.nalRefIdc = 1;
    h.frameNum = frameNum;
    h.fieldPic = true;
    h.bottomField = bottom;
    h.adaptiveRefPicMarking = !ops.empty();
    h.markingCount = static_cast<uint32_t>(ops.size());
    for (size_t i = 0; i < ops.size(); ++i) h.marking[i] = ops[i];
    EXPECT_EQ(store_.StartPicture(sps_, h, 0, 0), 0);
    store_.Current()->mbsDecoded = store_.Current()->picSizeInMbs;
  }
  // List 0 of the current field as frame numbers and parities ("2T").
  std::vector<std::string> FieldList(avc::SliceHeader h, uint32_t entries) {
    h.frameNum = store_.Current()->frameNum;
    h.fieldPic = true;
    h.bottomField = store_.CurrentStructure() == avc::kBottomField;
    uint8_t list[avc::kRefListSize];
    if (!avc::BuildRefList(store_, sps_, h, list)) return {};
    std::vector<std::string> fields;
    for (uint32_t i = 0; i < entries; ++i) {
      fields.push_back(std::to_string(store_.At(avc::RefEntryIndex(list[i])).frameNum) +
                       (avc::RefEntryBottom(list[i]) ? "B" : "T"));
    }
    return fields;
  }
  // Frame numbers of list 0 for a P slice with this header.
  std::vector<uint32_t> List(avc::SliceHeader h, uint32_t entries) {
    h.frameNum = store_.Current()->frameNum;
    uint8_t list[avc::kRefListSize];
    if (!avc::BuildRefList(store_, sps_, h, list)) return {};
    std::vector<uint32_t> numbers;
    for (uint32_t i = 0; i < entries; ++i) numbers.push_back(store_.At(list[i]).frameNum);
    return numbers;
  }
  avc::SliceHeader Active(uint32_t minus1) {
    avc::SliceHeader h;
    h.numRefIdxL0ActiveMinus1 = minus1;
    return h;
  }
  std::vector<uint8_t> frames_;
  avc::PictureStore store_;
  avc::SeqParamSet sps_;
  bool first_ = true;
};

using Numbers = std::vector<uint32_t>;

TEST_F(RefListTest, ShortTermFramesComeByDescendingPicNumAcrossTheWrap) {
  for (uint32_t n = 0; n < 18; ++n) Picture(n % 16);
  EXPECT_EQ(List(Active(3), 4), (Numbers{0, 15, 14, 13}));
}

TEST_F(RefListTest, EntriesPastTheReferencesRepeatTheFirst) {
  Picture(0);
  Picture(1);
  Picture(2);
  const Numbers list = List(Active(4), 33);
  EXPECT_EQ(list[0], 1u);
  EXPECT_EQ(list[1], 0u);
  for (uint32_t i = 2; i < 33; ++i) EXPECT_EQ(list[i], 1u) << i;
}

TEST_F(RefListTest, ReorderingMovesNamedPicturesForward) {
  for (uint32_t n = 0; n < 5; ++n) Picture(n);
  avc::SliceHeader h = Active(3);
  // 4 - 3 = 1, then 1 + 2 = 3: lists 1, 3, then the rest in order.
  h.reorderingCount = 2;
  h.reordering[0] = {0, 2};
  h.reordering[1] = {1, 1};
  EXPECT_EQ(List(h, 4), (Numbers{1, 3, 2, 0}));
  // A command naming no stored picture changes nothing.
  h.reorderingCount = 1;
  h.reordering[0] = {0, 9};
  EXPECT_EQ(List(h, 4), (Numbers{3, 2, 1, 0}));
}

// Gaps are filled whether the sequence allows them or not: reference
// pictures that were lost or refused keep their places in later lists, as
// withheld frames that are never output.
TEST_F(RefListTest, GapsAreFilledWithAtMostNumRefFramesNonExistingFrames) {
  Picture(0);
  Picture(1);
  Picture(3);  // 2 missing
  avc::SliceHeader h = Active(2);
  h.frameNum = 3;
  uint8_t list[avc::kRefListSize];
  ASSERT_TRUE(avc::BuildRefList(store_, sps_, h, list));
  const uint32_t expected[] = {2, 1, 0};
  for (uint32_t i = 0; i < 3; ++i) {
    const avc::StoredPicture& p = store_.At(list[i]);
    EXPECT_EQ(p.frameNum, expected[i]) << i;
    EXPECT_EQ(p.withheld, i == 0) << i;
    EXPECT_EQ(p.nonExisting, i == 0) << i;
  }
  Picture(4);
  Picture(12);  // 5 to 11 missing: only 8 to 11 can still be referenced
  EXPECT_EQ(List(Active(3), 4), (Numbers{11, 10, 9, 8}));
  EXPECT_EQ(store_.QueuedCount(), 4u);  // pictures 0, 1, 3 and 4 only
}

TEST_F(RefListTest, MemoryManagementOperationsMarkAndUnmark) {
  for (uint32_t n = 0; n < 3; ++n) Picture(n);
  // Picture 3 unmarks picture 1 (PicNum 3 - 2), makes picture 0 long-term
  // with index 0 and itself long-term with index 1.
  Picture(3, 1, {{4, 0, 0, 0, 3}, {1, 1, 0, 0, 0}, {3, 2, 0, 0, 0}, {6, 0, 0, 1, 0}});
  Picture(4);
  EXPECT_EQ(List(Active(2), 3), (Numbers{2, 0, 3}));  // short-term first, then long-term by index
  avc::SliceHeader h = Active(2);
  h.reorderingCount = 1;
  h.reordering[0] = {2, 1};  // long_term_pic_num 1: picture 3
  EXPECT_EQ(List(h, 3), (Numbers{3, 2, 0}));
  // Operation 2 drops long-term index 0; operation 4 with 0 drops the rest.
  Picture(5, 1, {{2, 0, 0, 0, 0}});
  Picture(6);
  EXPECT_EQ(List(Active(2), 3), (Numbers{5, 4, 2}));
  Picture(7, 1, {{4, 0, 0, 0, 0}});
  Picture(8);
  EXPECT_EQ(List(Active(3), 4), (Numbers{7, 6, 5, 4}));
  // Operation 5 leaves only the picture itself, renumbered 0.
  Picture(9, 1, {{5, 0, 0, 0, 0}});
  Picture(1);
  EXPECT_EQ(List(Active(0), 1), (Numbers{0}));
}

using Fields = std::vector<std::string>;

// Clause 8.2.4.2.5: fields alternate from the current parity, frames by
// descending FrameNumWrap; the second field's list holds its own first
// field; reordering counts fields (2 FrameNumWrap + 1 for the same parity).
TEST_F(RefListTest, FieldListsAlternateParityAndHoldTheFirstFieldOfTheFrame) {
  Field(0, false);
  Field(0, true);
  Field(1, false);
  Field(1, true);
  Field(2, false);
  EXPECT_EQ(FieldList(Active(3), 4), (Fields{"1T", "1B", "0T", "0B"}));
  Field(2, true);
  EXPECT_EQ(FieldList(Active(4), 5), (Fields{"1B", "2T", "0B", "1T", "0T"}));
  avc::SliceHeader h = Active(4);
  h.reorderingCount = 2;
  h.reordering[0] = {0, 0};  // CurrPicNum 5 - 1: its own top field
  h.reordering[1] = {0, 2};  // 4 - 3 = 1: the bottom field of frame 0
  EXPECT_EQ(FieldList(h, 5), (Fields{"2T", "0B", "1B", "1T", "0T"}));
}

// Marking in field units: operation 1 unmarks one field (PicNum 2 FrameNumWrap
// for the other parity), operation 6 on both fields makes a long-term pair
// that follows the short-term fields.
TEST_F(RefListTest, FieldMarkingWorksOnSingleFields) {
  Field(0, false);
  Field(0, true);
  Field(1, false, {{4, 0, 0, 0, 1}, {6, 0, 0, 0, 0}});
  Field(1, true, {{6, 0, 0, 0, 0}});
  Field(2, false, {{1, 4, 0, 0, 0}});  // CurrPicNum 5 - 5 = 0: the bottom field of frame 0
  Field(2, true);
  EXPECT_EQ(FieldList(Active(4), 4), (Fields{"2T", "0T", "1B", "1T"}));
}

}  // namespace
