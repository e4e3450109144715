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

}  // namespace
