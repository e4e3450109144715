#pragma once
// The slice header (clause 7.3.3), read in full: the P-slice reference
// count, list reordering, weight table and reference marking are kept for
// the decoding of P slices.
#include <cstdint>

#include "codecs/h264/bit_reader.h"
#include "codecs/h264/parameter_sets.h"

namespace avc {

enum SliceType : uint32_t { kSliceTypeP = 0, kSliceTypeB = 1, kSliceTypeI = 2 };

constexpr uint32_t kMaxListCommands = 33;

struct ReorderingCommand {
  uint32_t idc = 3;
  uint32_t value = 0;  // abs_diff_pic_num_minus1 or long_term_pic_num
};

struct MarkingOperation {
  uint32_t operation = 0;
  uint32_t differenceOfPicNumsMinus1 = 0;
  uint32_t longTermPicNum = 0;
  uint32_t longTermFrameIdx = 0;
  uint32_t maxLongTermFrameIdxPlus1 = 0;
};

struct WeightEntry {
  int32_t lumaWeight = 0, lumaOffset = 0;
  int32_t chromaWeight[2] = {}, chromaOffset[2] = {};
  bool lumaFlag = false, chromaFlag = false;
};

struct SliceHeader {
  uint32_t nalRefIdc = 0;
  uint32_t nalUnitType = 0;
  uint32_t firstMbInSlice = 0;
  uint32_t sliceType = kSliceTypeI;
  uint32_t ppsId = 0;
  uint32_t frameNum = 0;
  bool fieldPic = false;
  bool bottomField = false;
  uint32_t idrPicId = 0x10000;
  uint32_t picOrderCntLsb = 0;
  int32_t deltaPicOrderCntBottom = 0;
  int32_t deltaPicOrderCnt[2] = {};
  uint32_t numRefIdxL0ActiveMinus1 = 0;
  uint32_t reorderingCount = 0;
  ReorderingCommand reordering[kMaxListCommands];
  uint32_t lumaLog2WeightDenom = 0, chromaLog2WeightDenom = 0;
  WeightEntry weights[kMaxListCommands];
  bool noOutputOfPriorPics = false;
  bool longTermReference = false;
  bool adaptiveRefPicMarking = false;
  uint32_t markingCount = 0;
  MarkingOperation marking[kMaxListCommands];
  int32_t sliceQp = 26;
  uint32_t disableDeblockingFilterIdc = 0;
  int32_t sliceAlphaC0OffsetDiv2 = 0;
  int32_t sliceBetaOffsetDiv2 = 0;
};

// Reads the header after the NAL header (nalRefIdc and nalUnitType already
// set in `h`).  The picture parameter set named by the slice must be valid
// in `ppsSets` and its sequence set in `spsSets`.  0 or an error code.
uint32_t ParseSliceHeader(BitReader& reader, const SeqParamSet* spsSets, const PicParamSet* ppsSets,
                          SliceHeader& h);

}  // namespace avc
