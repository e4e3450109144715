// The bit reader, the NAL scanner and the parameter-set and slice-header
// parsers with their refusals, on bit strings written here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/h264/bit_reader.h"
#include "codecs/h264/error_codes.h"
#include "codecs/h264/nal_scanner.h"
#include "codecs/h264/parameter_sets.h"
#include "codecs/h264/slice_header.h"
#include "tests/codecs/h264/bit_writer.h"

namespace {

using avc_test::BitWriter;

TEST(BitReader, ReadsExpGolombCodesAndStopsAtTheUnitsEnd) {
  const std::vector<uint8_t> data = {0x21, 0x60};  // 00100 00101 and the stop bit
  avc::BitReader r(data.data(), data.size());
  EXPECT_EQ(r.Se(), 2);
  EXPECT_EQ(r.Se(), -2);
  EXPECT_FALSE(r.MoreRbspData());
  EXPECT_FALSE(r.Overrun());
  // Past the end: zeros, and the overrun flag.
  EXPECT_EQ(r.Bits(6), 0x20u);  // the stop bit and its alignment
  EXPECT_FALSE(r.Overrun());
  EXPECT_EQ(r.Bits(16), 0u);
  EXPECT_TRUE(r.Overrun());

  const std::vector<uint8_t> zeros(8, 0);
  avc::BitReader z(zeros.data(), zeros.size());
  z.Ue();  // 32 leading zeros are no code
  EXPECT_TRUE(z.Overrun());
}

TEST(BitReader, MoreRbspDataSeesOnlyTheStopBitAndItsAlignment) {
  const std::vector<uint8_t> lastByte80 = {0xFF, 0x80};
  avc::BitReader a(lastByte80.data(), lastByte80.size());
  a.Bits(7);
  EXPECT_TRUE(a.MoreRbspData());
  a.Bits(1);
  EXPECT_FALSE(a.MoreRbspData());

  const std::vector<uint8_t> oneThenZeros = {0x00, 0x20};  // third bit: 1 00000
  avc::BitReader b(oneThenZeros.data(), oneThenZeros.size());
  b.Bits(10);
  EXPECT_FALSE(b.MoreRbspData());
  const std::vector<uint8_t> twoOnes = {0x00, 0x30};  // third bit: 11 0000
  avc::BitReader c(twoOnes.data(), twoOnes.size());
  c.Bits(10);
  EXPECT_TRUE(c.MoreRbspData());
}

TEST(NalScanner, SplitsUnitsAndRemovesEmulationPrevention) {
  const std::vector<uint8_t> stream = {0x00, 0x00, 0x00, 0x01, 0x09, 0x00, 0x00, 0x03, 0x01, 0x80, 0x00,
                                       0x00, 0x01, 0x0C, 0xAA, 0x00, 0x00};
  uint8_t rbsp[64];
  size_t position = 0;
  avc::NalUnitBytes unit;
  ASSERT_TRUE(avc::NextNalUnit(stream.data(), stream.size(), position, rbsp, sizeof rbsp, unit));
  ASSERT_EQ(unit.length, 5u);
  EXPECT_EQ(std::vector<uint8_t>(rbsp, rbsp + 5), (std::vector<uint8_t>{0x09, 0x00, 0x00, 0x01, 0x80}));
  ASSERT_TRUE(avc::NextNalUnit(stream.data(), stream.size(), position, rbsp, sizeof rbsp, unit));
  EXPECT_EQ(unit.length, 2u);  // trailing zeros removed
  EXPECT_FALSE(avc::NextNalUnit(stream.data(), stream.size(), position, rbsp, sizeof rbsp, unit));

  // A unit larger than the buffer is dropped, not cut.
  position = 0;
  ASSERT_TRUE(avc::NextNalUnit(stream.data(), stream.size(), position, rbsp, 3, unit));
  EXPECT_TRUE(unit.tooLong);
}

// A Baseline sequence parameter set, 11x9 macroblocks, with one field
// replaced through the hooks.
struct SpsFields {
  uint32_t profile = 66;
  uint32_t id = 0;
  uint32_t log2FrameNumMinus4 = 0;
  uint32_t pocType = 0;
  uint32_t log2PocLsbMinus4 = 0;
  uint32_t numRefFrames = 1;
  uint32_t widthMinus1 = 10;
  uint32_t heightMinus1 = 8;
  uint32_t frameMbsOnly = 1;
  uint32_t mbaff = 0;
  bool crop = false;
  uint32_t cropRight = 0, cropBottom = 0;
};

std::vector<uint8_t> Sps(const SpsFields& f) {
  BitWriter w;
  w.U(f.profile, 8).U(0, 8).U(30, 8).Ue(f.id).Ue(f.log2FrameNumMinus4).Ue(f.pocType);
  if (f.pocType == 0) w.Ue(f.log2PocLsbMinus4);
  w.Ue(f.numRefFrames).U(0, 1).Ue(f.widthMinus1).Ue(f.heightMinus1).U(f.frameMbsOnly, 1);
  if (!f.frameMbsOnly) w.U(f.mbaff, 1);
  w.U(1, 1).U(f.crop, 1);
  if (f.crop) w.Ue(0).Ue(f.cropRight).Ue(0).Ue(f.cropBottom);
  w.U(0, 1);  // no VUI
  return w.Rbsp();
}

uint32_t ParseSps(const SpsFields& f, avc::SeqParamSet& out, uint32_t refs = 16) {
  const std::vector<uint8_t> rbsp = Sps(f);
  avc::BitReader r(rbsp.data(), rbsp.size());
  return avc::ParseSeqParamSet(r, avc::StreamLimits{11, 9, refs}, out);
}

TEST(SeqParamSet, RefusesWhatTheDecoderCannotDecode) {
  struct Case {
    const char* what;
    SpsFields fields;
    uint32_t code;
  };
  auto with = [](auto change) {
    SpsFields f;
    change(f);
    return f;
  };
  const Case cases[] = {
      {"baseline", SpsFields{}, 0},
      {"high profile", with([](SpsFields& f) { f.profile = 100; }), avc::kSpsProfileNotSupported},
      {"id 32", with([](SpsFields& f) { f.id = 32; }), avc::kSpsIdRange},
      {"frame_num 17 bits", with([](SpsFields& f) { f.log2FrameNumMinus4 = 13; }), avc::kSpsFrameNumRange},
      {"poc type 3", with([](SpsFields& f) { f.pocType = 3; }), avc::kSpsPocTypeRange},
      {"poc lsb 17 bits", with([](SpsFields& f) { f.log2PocLsbMinus4 = 13; }), avc::kSpsPocLsbRange},
      {"17 reference frames", with([](SpsFields& f) { f.numRefFrames = 17; }), avc::kSpsRefFramesRange},
      {"wider than created", with([](SpsFields& f) { f.widthMinus1 = 11; }), avc::kSpsSizeRange},
      {"one macroblock wide", with([](SpsFields& f) { f.widthMinus1 = 0; }), avc::kSpsSizeRange},
      {"taller than created", with([](SpsFields& f) { f.heightMinus1 = 9; }), avc::kSpsSizeRange},
      {"mbaff", with([](SpsFields& f) { f.frameMbsOnly = 0, f.mbaff = 1; }), avc::kSpsMbaff},
      {"crop the whole width", with([](SpsFields& f) { f.crop = true, f.cropRight = 88; }), avc::kSpsCropTooLarge},
      {"crop the whole height", with([](SpsFields& f) { f.crop = true, f.cropBottom = 72; }), avc::kSpsCropTooLarge},
  };
  for (const Case& c : cases) {
    avc::SeqParamSet sps;
    EXPECT_EQ(ParseSps(c.fields, sps), c.code) << c.what;
  }
  avc::SeqParamSet sps;
  EXPECT_EQ(ParseSps(SpsFields{}, sps, 0), avc::kSpsRefFramesAboveCreate);
}

TEST(SeqParamSet, PictureBufferSizeFollowsLevelAndReferences) {
  SpsFields f;
  f.crop = true;
  f.cropRight = 3;
  f.cropBottom = 2;
  avc::SeqParamSet sps;
  ASSERT_EQ(ParseSps(f, sps), 0u);
  EXPECT_EQ(sps.cropRight, 6);
  EXPECT_EQ(sps.cropBottom, 4);
  // Level 3.0 holds 3037.5 kB: 81 frames of 11x9 macroblocks, at most 16.
  EXPECT_EQ(avc::MaxDpbFrames(sps), 16u);
  sps.levelIdc = 10;  // 148.5 kB: 4 frames of 38016 bytes
  EXPECT_EQ(avc::MaxDpbFrames(sps), 4u);
  sps.levelIdc = 9;
  EXPECT_EQ(avc::MaxDpbFrames(sps), 16u);
}

struct PpsFields {
  uint32_t id = 0, spsId = 0, cabac = 0, sliceGroups = 0, refIdxL0 = 0, refIdxL1 = 0, weightedPred = 0,
           bipred = 0;
  int32_t initQp = 0, initQs = 0, chromaOffset = 0;
  uint32_t deblockControl = 1;
};

std::vector<uint8_t> Pps(const PpsFields& f) {
  BitWriter w;
  w.Ue(f.id).Ue(f.spsId).U(f.cabac, 1).U(0, 1).Ue(f.sliceGroups).Ue(f.refIdxL0).Ue(f.refIdxL1);
  w.U(f.weightedPred, 1).U(f.bipred, 2).Se(f.initQp).Se(f.initQs).Se(f.chromaOffset);
  w.U(f.deblockControl, 1).U(0, 1).U(0, 1);
  return w.Rbsp();
}

TEST(PicParamSet, RefusesWhatTheDecoderCannotDecode) {
  avc::SeqParamSet sets[avc::kMaxSps];
  ASSERT_EQ(ParseSps(SpsFields{}, sets[0]), 0u);
  struct Case {
    const char* what;
    PpsFields fields;
    uint32_t code;
  };
  auto with = [](auto change) {
    PpsFields f;
    change(f);
    return f;
  };
  const Case cases[] = {
      {"plain", PpsFields{}, 0},
      {"id 256", with([](PpsFields& f) { f.id = 256; }), avc::kPpsIdRange},
      {"missing sequence", with([](PpsFields& f) { f.spsId = 1; }), avc::kPpsSpsMissing},
      {"cabac", with([](PpsFields& f) { f.cabac = 1; }), avc::kPpsCabac},
      {"slice groups", with([](PpsFields& f) { f.sliceGroups = 1; }), avc::kPpsSliceGroups},
      {"32 references", with([](PpsFields& f) { f.refIdxL0 = 32; }), avc::kPpsRefIdxL0Range},
      {"32 list-1 references", with([](PpsFields& f) { f.refIdxL1 = 32; }), avc::kPpsRefIdxL1Range},
      {"bi-prediction weights", with([](PpsFields& f) { f.bipred = 1; }), 0},
      {"qp 52", with([](PpsFields& f) { f.initQp = 26; }), avc::kPpsInitQpRange},
      {"qs -1", with([](PpsFields& f) { f.initQs = -27; }), avc::kPpsInitQsRange},
      {"chroma offset 13", with([](PpsFields& f) { f.chromaOffset = 13; }), avc::kPpsChromaOffsetRange},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> rbsp = Pps(c.fields);
    avc::BitReader r(rbsp.data(), rbsp.size());
    avc::PicParamSet pps;
    EXPECT_EQ(avc::ParsePicParamSet(r, sets, pps), c.code) << c.what;
  }
}

// Slice headers against the sets above (frame_num and POC lsb of 4 bits).
struct SliceFields {
  uint32_t nalUnitType = 5, nalRefIdc = 3;
  uint32_t sliceType = 7, ppsId = 0, frameNum = 0;
  int32_t qpDelta = 0;
  uint32_t deblockIdc = 0;
  int32_t alpha = 0, beta = 0;
  bool reorder = false;
  uint32_t reorderIdc = 0;
  bool adaptiveMarking = false;
  uint32_t markingOperation = 1;
  bool weighted = false;
  uint32_t bipred = 0;  // weighted_bipred_idc of the picture parameter set
  uint32_t lumaDenom = 0;
  int32_t lumaWeight = 1;
};

uint32_t ParseSlice(const SliceFields& f, bool weightedPps = false) {
  avc::SeqParamSet sps[avc::kMaxSps];
  avc::PicParamSet pps[avc::kMaxPps];
  EXPECT_EQ(ParseSps(SpsFields{}, sps[0]), 0u);
  PpsFields pf;
  pf.weightedPred = weightedPps;
  pf.bipred = f.bipred;
  const std::vector<uint8_t> ppsBits = Pps(pf);
  avc::BitReader pr(ppsBits.data(), ppsBits.size());
  EXPECT_EQ(avc::ParsePicParamSet(pr, sps, pps[0]), 0u);

  BitWriter w;
  w.Ue(0).Ue(f.sliceType).Ue(f.ppsId).U(f.frameNum, 4);
  if (f.nalUnitType == 5) w.Ue(0);
  w.U(0, 4);  // pic_order_cnt_lsb
  const bool p = f.sliceType % 5 == 0;
  if (p) {
    w.U(0, 1);  // no override
    w.U(f.reorder, 1);
    if (f.reorder) w.Ue(f.reorderIdc).Ue(0).Ue(3);
    if (weightedPps) {
      w.Ue(f.lumaDenom).Ue(0).U(1, 1).Se(f.lumaWeight).Se(0).U(0, 1);
    }
  }
  if (f.nalRefIdc) {
    if (f.nalUnitType == 5) {
      w.U(0, 2);
    } else {
      w.U(f.adaptiveMarking, 1);
      if (f.adaptiveMarking) w.Ue(f.markingOperation).Ue(0).Ue(0);
    }
  }
  w.Se(f.qpDelta).Ue(f.deblockIdc);
  if (f.deblockIdc != 1) w.Se(f.alpha).Se(f.beta);
  const std::vector<uint8_t> rbsp = w.Rbsp();
  avc::BitReader r(rbsp.data(), rbsp.size());
  avc::SliceHeader h;
  h.nalUnitType = f.nalUnitType;
  h.nalRefIdc = f.nalRefIdc;
  return avc::ParseSliceHeader(r, sps, pps, h);
}

TEST(SliceHeader, ReadsPSyntaxInFullAndRefusesBadValues) {
  auto with = [](auto change) {
    SliceFields f;
    change(f);
    return f;
  };
  struct Case {
    const char* what;
    SliceFields fields;
    bool weighted;
    uint32_t code;
  };
  const Case cases[] = {
      {"IDR I slice", SliceFields{}, false, 0},
      {"P slice with reordering", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 5, f.reorder = true; }), false, 0},
      {"P slice with marking", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.adaptiveMarking = true; }), false, 0},
      {"P slice with weights", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.lumaDenom = 7; }), true, 0},
      {"slice type 10", with([](SliceFields& f) { f.sliceType = 10; }), false, avc::kSliceTypeRange},
      {"B slice", with([](SliceFields& f) { f.sliceType = 6; }), false, avc::kSliceB},
      {"B slice, weighted bi-prediction", with([](SliceFields& f) { f.sliceType = 1, f.bipred = 1; }), false, avc::kSliceB},
      {"P slice, weighted bi-prediction", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.bipred = 2; }), false, 0},
      {"SP slice", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 3; }), false, avc::kSliceSwitching},
      {"SI slice", with([](SliceFields& f) { f.sliceType = 9; }), false, avc::kSliceSwitching},
      {"missing picture set", with([](SliceFields& f) { f.ppsId = 1; }), false, avc::kSlicePpsMissing},
      {"IDR with frame_num 1", with([](SliceFields& f) { f.frameNum = 1; }), false, avc::kSliceIdrFrameNum},
      {"qp 52", with([](SliceFields& f) { f.qpDelta = 26; }), false, avc::kSliceQpRange},
      {"qp -1", with([](SliceFields& f) { f.qpDelta = -27; }), false, avc::kSliceQpRange},
      {"deblocking idc 3", with([](SliceFields& f) { f.deblockIdc = 3; }), false, avc::kSliceDeblockIdcRange},
      {"alpha offset 7", with([](SliceFields& f) { f.alpha = 7; }), false, avc::kSliceDeblockOffsetRange},
      {"beta offset -7", with([](SliceFields& f) { f.beta = -7; }), false, avc::kSliceDeblockOffsetRange},
      {"reordering idc 4", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.reorder = true, f.reorderIdc = 4; }), false, avc::kSliceReorderingRange},
      {"marking operation 7", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.adaptiveMarking = true, f.markingOperation = 7; }), false, avc::kSliceMarkingRange},
      {"weight denominator 8", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.lumaDenom = 8; }), true, avc::kSliceWeightDenomRange},
      {"weight 128", with([](SliceFields& f) { f.nalUnitType = 1, f.sliceType = 0, f.lumaWeight = 128; }), true, avc::kSliceWeightRange},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSlice(c.fields, c.weighted), c.code) << c.what;
}

}  // namespace
