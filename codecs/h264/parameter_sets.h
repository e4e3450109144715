#pragma once
// Sequence and picture parameter sets (clauses 7.3.2.1 and 7.3.2.2) within
// the decoder's limits: CAVLC, one slice group, no MBAFF, 8-bit 4:2:0.
#include <cstdint>

#include "codecs/h264/bit_reader.h"

namespace avc {

constexpr uint32_t kMaxSps = 32;
constexpr uint32_t kMaxPps = 256;

struct SeqParamSet {
  bool valid = false;
  uint32_t profileIdc = 0;
  uint32_t levelIdc = 0;
  uint32_t id = 0;
  uint32_t log2MaxFrameNum = 4;
  uint32_t maxFrameNum = 16;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool deltaPicOrderAlwaysZero = false;
  int32_t offsetForNonRefPic = 0;
  int32_t offsetForTopToBottomField = 0;
  uint32_t numRefFramesInPocCycle = 0;
  int32_t offsetForRefFrame[256] = {};
  uint32_t numRefFrames = 0;
  uint32_t widthInMbs = 0;
  uint32_t heightInMapUnits = 0;
  bool frameMbsOnly = true;
  bool direct8x8Inference = false;
  int32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;  // luma samples
  uint32_t frameHeightInMbs = 0;
  uint32_t dpbSize = 1;
};

struct PicParamSet {
  bool valid = false;
  uint32_t id = 0;
  uint32_t spsId = 0;
  bool picOrderPresent = false;
  uint32_t numRefIdxL0DefaultMinus1 = 0;
  uint32_t numRefIdxL1DefaultMinus1 = 0;
  bool weightedPred = false;
  int32_t picInitQp = 26;
  int32_t chromaQpIndexOffset = 0;
  bool deblockingFilterControlPresent = false;
  bool constrainedIntraPred = false;
  bool redundantPicCntPresent = false;
};

// The limits the decoder was created with.
struct StreamLimits {
  uint32_t widthInMbs = 0;
  uint32_t heightInMbs = 0;
  uint32_t maxRefFrames = 0;
};

// Reads a set after the NAL header; 0 and `out` filled, or an error code
// (`out` then holds nothing the caller may keep).
uint32_t ParseSeqParamSet(BitReader& reader, const StreamLimits& limits, SeqParamSet& out);
uint32_t ParsePicParamSet(BitReader& reader, const SeqParamSet* sets, PicParamSet& out);

// Frames the level's MaxDPB holds for this sequence, at most 16 (16 for an
// unknown level).
uint32_t MaxDpbFrames(const SeqParamSet& sps);

}  // namespace avc
