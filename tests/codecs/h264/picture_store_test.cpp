// The frame store and picture buffer: entries freed by output, bumping,
// IDR marking and picture order counts.
#include "codecs/h264/picture_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kW = 2, kH = 6, kFrameBytes = 384 * kW * kH;

class PictureStoreTest : public testing::Test {
 protected:
  void Attach(uint32_t entries, bool bumping, uint32_t dpbSize) {
    frames_.assign(size_t{entries} * kFrameBytes, 0);
    store_.Attach(frames_.data(), entries, kFrameBytes, kW, kH, bumping);
    store_.Reset(dpbSize);
    sps_.widthInMbs = kW;
    sps_.frameHeightInMbs = kH;
    sps_.heightInMapUnits = kH;
    sps_.log2MaxFrameNum = 4;
    sps_.maxFrameNum = 16;
    sps_.log2MaxPocLsb = 4;
    sps_.numRefFrames = 1;
  }
  // Starts and completes one picture.
  int Picture(uint32_t nalType, uint32_t refIdc, uint32_t frameNum, uint32_t pocLsb, bool noOutput = false) {
    avc::SliceHeader h;
    h.nalUnitType = nalType;
    h.nalRefIdc = refIdc;
    h.frameNum = frameNum;
    h.picOrderCntLsb = pocLsb;
    h.noOutputOfPriorPics = noOutput;
    const int result = store_.StartPicture(sps_, h, 0, 0);
    if (result == 0) store_.Current()->mbsDecoded = kW * kH;
    return result;
  }
  // Starts and completes one field of an interlaced sequence.
  int Field(uint32_t nalType, uint32_t refIdc, uint32_t frameNum, uint32_t pocLsb, bool bottom) {
    sps_.frameMbsOnly = false;
    avc::SliceHeader h;
    h.nalUnitType = nalType;
    h.nalRefIdc = refIdc;
    h.frameNum = frameNum;
    h.picOrderCntLsb = pocLsb;
    h.fieldPic = true;
    h.bottomField = bottom;
    const int result = store_.StartPicture(sps_, h, 0, 0);
    if (result == 0) store_.Current()->mbsDecoded = store_.Current()->picSizeInMbs;
    return result;
  }
  std::vector<uint8_t> frames_;
  avc::PictureStore store_;
  avc::SeqParamSet sps_;
};

TEST_F(PictureStoreTest, WithoutBumpingEveryPictureIsQueuedAndFreedOneUnitLater) {
  Attach(6, false, 1);
  for (uint32_t i = 0; i < 50; ++i) {
    ASSERT_EQ(Picture(1, 0, 0, 2 * i), 0) << i;
    store_.RetireOneOutput();
  }
  store_.FinishPicture();
  EXPECT_EQ(store_.QueuedCount(), 1u);
  store_.RetireOneOutput();
  EXPECT_EQ(store_.QueuedCount(), 0u);
}

TEST_F(PictureStoreTest, ABufferOfOneWithNoReferenceFramesStillMovesOn) {
  Attach(4, true, 1);
  sps_.numRefFrames = 0;
  for (uint32_t i = 0; i < 40; ++i) {
    ASSERT_EQ(Picture(i == 0 ? 5 : 1, 1, i % 16, (2 * i) % 16), 0) << i;
    store_.RetireOneOutput();
  }
  EXPECT_LE(store_.DpbFill(), 1u);
}

TEST_F(PictureStoreTest, IdrPicturesWithoutOutputOfPriorPicturesFreeTheirEntries) {
  Attach(4, true, 3);
  for (uint32_t i = 0; i < 40; ++i) {
    ASSERT_EQ(Picture(5, 1, 0, 0, true), 0) << i;
    store_.RetireOneOutput();
  }
}

TEST_F(PictureStoreTest, PictureOrderCountCarriesOverTheLsbWrap) {
  Attach(8, true, 4);
  const uint32_t lsbs[] = {0, 6, 12, 2, 8};
  const int32_t pocs[] = {0, 6, 12, 18, 24};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(Picture(i == 0 ? 5 : 1, 1, static_cast<uint32_t>(i), lsbs[i]), 0);
    EXPECT_EQ(store_.Current()->poc, pocs[i]) << i;
  }
  // Type 2: twice the frame number, one less for a non-reference picture.
  sps_.pocType = 2;
  ASSERT_EQ(Picture(1, 0, 5, 0), 0);
  EXPECT_EQ(store_.Current()->poc, 9);
}

// A second field joins its first field's entry; a field that finds no
// partner (the same parity again, or a reference-ness of its own) goes out
// alone as its frame, and its entry comes free again: in either output
// discipline, a small store never runs out.
TEST_F(PictureStoreTest, FieldPairsShareAnEntryAndUnpairedFieldsGoOutAlone) {
  for (const bool bumping : {false, true}) {
    Attach(6, bumping, 2);
    sps_.numRefFrames = 1;
    uint32_t frameNum = 0;
    for (uint32_t i = 0; i < 30; ++i) {
      const uint32_t nalType = i == 0 ? 5 : 1;
      const uint32_t lsb = (4 * i) % 16;
      ASSERT_EQ(Field(nalType, 1, frameNum, lsb, false), 0) << i;
      const uint32_t entry = store_.CurrentIndex();
      store_.RetireOneOutput();
      if (i % 5 == 4) {
        // A top field again: the one before stays unpaired.
        frameNum = (frameNum + 1) % 16;
        continue;
      }
      ASSERT_EQ(Field(1, i % 3 == 2 ? 0 : 1, frameNum, lsb + 1, true), 0) << i;
      // A non-reference bottom field does not complete a reference top field.
      EXPECT_EQ(store_.CurrentIndex() == entry, i % 3 != 2) << i;
      store_.RetireOneOutput();
      frameNum = (frameNum + 1) % 16;
    }
    store_.FinishPicture();
    EXPECT_LE(store_.DpbFill(), 2u);
  }
}

// Picture order counts of fields: each field its own, the frame the smaller.
TEST_F(PictureStoreTest, FieldsCountTheirOwnPictureOrder) {
  Attach(8, true, 4);
  ASSERT_EQ(Field(5, 1, 0, 3, true), 0);
  EXPECT_EQ(store_.Current()->poc, 3);
  EXPECT_EQ(store_.Current()->height, static_cast<int32_t>(kH * 16 / 2));
  ASSERT_EQ(Field(1, 1, 0, 2, false), 0);
  EXPECT_EQ(store_.Current()->poc, 2);
  EXPECT_EQ(store_.Current()->topPoc, 2);
  EXPECT_EQ(store_.Current()->bottomPoc, 3);
  ASSERT_EQ(Field(1, 1, 1, 6, true), 0);
  EXPECT_EQ(store_.Current()->poc, 6);
  // Type 1 (clause 8.2.1.2): a bottom field adds offset_for_top_to_bottom_field
  // to the expected count; the frame's cycle advances by frame_num.
  Attach(8, true, 4);
  sps_.pocType = 1;
  sps_.numRefFramesInPocCycle = 1;
  sps_.offsetForRefFrame[0] = 4;
  sps_.offsetForTopToBottomField = 1;
  const int32_t pocs[] = {0, 1, 4, 5};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Field(i == 0 ? 5 : 1, 1, static_cast<uint32_t>(i / 2), 0, i % 2 == 1), 0) << i;
    EXPECT_EQ((i % 2 ? store_.Current()->bottomPoc : store_.Current()->topPoc), pocs[i]) << i;
  }
}

// A new sequence of another size between two fields: the second is no
// partner of the first, whose entry has the other size's layout.
TEST_F(PictureStoreTest, AFieldOfAnotherSizeStartsAFrameOfItsOwn) {
  Attach(8, true, 4);
  ASSERT_EQ(Field(5, 1, 0, 0, false), 0);
  const uint32_t first = store_.CurrentIndex();
  sps_.frameHeightInMbs = kH - 2;
  ASSERT_EQ(Field(1, 1, 0, 1, true), 0);
  EXPECT_NE(store_.CurrentIndex(), first);
  EXPECT_EQ(store_.Current()->picSizeInMbs, kW * (kH - 2) / 2);
}

}  // namespace
