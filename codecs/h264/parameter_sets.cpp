#include "codecs/h264/parameter_sets.h"

#include <algorithm>

#include "codecs/h264/error_codes.h"

namespace avc {

namespace {

// MaxDPB of Table A-1 in units of 512 bytes (twice the table's kilobytes,
// which has halves).
struct LevelDpb {
  uint32_t levelIdc;
  uint32_t halfKilobytes;
};
constexpr LevelDpb kLevelDpb[] = {
    {10, 297},   {11, 675},   {12, 1782},  {13, 1782},  {20, 1782},  {21, 3564},
    {22, 6075},  {30, 6075},  {31, 13500}, {32, 15360}, {40, 24576}, {41, 24576},
    {42, 26112}, {50, 82080}, {51, 138240}};

bool IsPlainLayoutProfile(uint32_t profile) { return profile == 66 || profile == 77 || profile == 88; }

}  // namespace

uint32_t MaxDpbFrames(const SeqParamSet& sps) {
  uint64_t frameBytes = 384ull * sps.widthInMbs * sps.heightInMapUnits * (sps.frameMbsOnly ? 1 : 2);
  for (const LevelDpb& row : kLevelDpb) {
    if (row.levelIdc == sps.levelIdc) {
      const uint64_t frames = frameBytes ? (uint64_t{row.halfKilobytes} * 512) / frameBytes : 16;
      return static_cast<uint32_t>(std::min<uint64_t>(frames, 16));
    }
  }
  return 16;
}

uint32_t ParseSeqParamSet(BitReader& r, const StreamLimits& limits, SeqParamSet& s) {
  s = SeqParamSet{};
  s.profileIdc = r.Bits(8);
  r.Bits(8);  // constraint flags and reserved bits
  s.levelIdc = r.Bits(8);
  s.id = r.Ue();
  if (s.id >= kMaxSps) return kSpsIdRange;
  if (!IsPlainLayoutProfile(s.profileIdc)) return kSpsProfileNotSupported;
  const uint32_t log2FrameNum = r.Ue();
  if (log2FrameNum > 12) return kSpsFrameNumRange;
  s.log2MaxFrameNum = log2FrameNum + 4;
  s.maxFrameNum = 1u << s.log2MaxFrameNum;
  s.pocType = r.Ue();
  if (s.pocType >= 3) return kSpsPocTypeRange;
  if (s.pocType == 0) {
    const uint32_t log2Lsb = r.Ue();
    if (log2Lsb > 12) return kSpsPocLsbRange;
    s.log2MaxPocLsb = log2Lsb + 4;
  } else if (s.pocType == 1) {
    s.deltaPicOrderAlwaysZero = r.Bit();
    s.offsetForNonRefPic = r.Se();
    s.offsetForTopToBottomField = r.Se();
    s.numRefFramesInPocCycle = r.Ue();
    if (s.numRefFramesInPocCycle > 255) return kSpsPocCycleRange;
    for (uint32_t i = 0; i < s.numRefFramesInPocCycle; ++i) s.offsetForRefFrame[i] = r.Se();
  }
  s.numRefFrames = r.Ue();
  if (s.numRefFrames > 16) return kSpsRefFramesRange;
  if (s.numRefFrames > limits.maxRefFrames) return kSpsRefFramesAboveCreate;
  r.Bit();  // gaps_in_frame_num_value_allowed_flag: gaps are filled either way
  const uint32_t widthMinus1 = r.Ue();
  const uint32_t heightMinus1 = r.Ue();
  s.frameMbsOnly = r.Bit();
  if (!s.frameMbsOnly && r.Bit()) return kSpsMbaff;
  if (widthMinus1 >= limits.widthInMbs || heightMinus1 >= 0x10000) return kSpsSizeRange;
  s.widthInMbs = widthMinus1 + 1;
  s.heightInMapUnits = heightMinus1 + 1;
  const uint32_t mapUnitsAllowed = limits.heightInMbs / (s.frameMbsOnly ? 1 : 2);
  if (s.widthInMbs < 2 || s.heightInMapUnits < 2 || s.heightInMapUnits > mapUnitsAllowed) return kSpsSizeRange;
  s.frameHeightInMbs = s.heightInMapUnits * (s.frameMbsOnly ? 1 : 2);
  s.direct8x8Inference = r.Bit();
  if (r.Bit()) {
    const uint32_t cropUnitY = s.frameMbsOnly ? 2 : 4;
    const uint32_t left = r.Ue(), right = r.Ue(), top = r.Ue(), bottom = r.Ue();
    const uint64_t width = s.widthInMbs * 16ull, height = s.frameHeightInMbs * 16ull;
    if (2ull * (uint64_t{left} + right) >= width || cropUnitY * (uint64_t{top} + bottom) >= height) {
      return kSpsCropTooLarge;
    }
    s.cropLeft = static_cast<int32_t>(2 * left);
    s.cropRight = static_cast<int32_t>(2 * right);
    s.cropTop = static_cast<int32_t>(cropUnitY * top);
    s.cropBottom = static_cast<int32_t>(cropUnitY * bottom);
  }
  if (r.Overrun()) return kSpsTruncated;
  // At least one: a level too small for the picture with no reference
  // frames must still hold the picture being output.
  const uint32_t byLevel = std::min(MaxDpbFrames(s), 2 * limits.maxRefFrames);
  s.dpbSize = std::max({s.numRefFrames, byLevel, 1u});
  s.valid = true;
  return 0;
}

uint32_t ParsePicParamSet(BitReader& r, const SeqParamSet* sets, PicParamSet& p) {
  p = PicParamSet{};
  p.id = r.Ue();
  if (p.id >= kMaxPps) return kPpsIdRange;
  p.spsId = r.Ue();
  if (p.spsId >= kMaxSps || !sets[p.spsId].valid) return kPpsSpsMissing;
  if (r.Bit()) return kPpsCabac;
  p.picOrderPresent = r.Bit();
  if (r.Ue() != 0) return kPpsSliceGroups;
  p.numRefIdxL0DefaultMinus1 = r.Ue();
  if (p.numRefIdxL0DefaultMinus1 > 31) return kPpsRefIdxL0Range;
  p.numRefIdxL1DefaultMinus1 = r.Ue();
  if (p.numRefIdxL1DefaultMinus1 > 31) return kPpsRefIdxL1Range;
  p.weightedPred = r.Bit();
  r.Bits(2);  // weighted_bipred_idc: only B slices weigh by it, and they are refused
  const int32_t initQp = r.Se();
  if (initQp < -26 || initQp > 25) return kPpsInitQpRange;
  p.picInitQp = 26 + initQp;
  const int32_t initQs = r.Se();
  if (initQs < -26 || initQs > 25) return kPpsInitQsRange;
  p.chromaQpIndexOffset = r.Se();
  if (p.chromaQpIndexOffset < -12 || p.chromaQpIndexOffset > 12) return kPpsChromaOffsetRange;
  p.deblockingFilterControlPresent = r.Bit();
  p.constrainedIntraPred = r.Bit();
  p.redundantPicCntPresent = r.Bit();
  if (r.Overrun()) return kPpsTruncated;
  p.valid = true;
  return 0;
}

}  // namespace avc
