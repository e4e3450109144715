#include "codecs/h264/slice_header.h"

#include "codecs/h264/error_codes.h"

namespace avc {

namespace {

uint32_t ReadReordering(BitReader& r, SliceHeader& h) {
  h.reorderingCount = 0;
  if (!r.Bit()) return 0;
  for (uint32_t i = 0; i < kMaxListCommands; ++i) {
    const uint32_t idc = r.Ue();
    if (idc > 3) return kSliceReorderingRange;
    h.reordering[i].idc = idc;
    if (idc == 3) return 0;
    h.reordering[i].value = r.Ue();
    h.reorderingCount = i + 1;
    if (r.Overrun()) return kSliceTruncated;
  }
  return kSliceReorderingRange;  // no end within the list's size
}

bool InByteRange(int32_t v) { return v >= -128 && v <= 127; }

uint32_t ReadWeights(BitReader& r, SliceHeader& h) {
  h.lumaLog2WeightDenom = r.Ue();
  h.chromaLog2WeightDenom = r.Ue();
  if (h.lumaLog2WeightDenom > 7 || h.chromaLog2WeightDenom > 7) return kSliceWeightDenomRange;
  for (uint32_t i = 0; i <= h.numRefIdxL0ActiveMinus1; ++i) {
    WeightEntry& w = h.weights[i];
    w = WeightEntry{};
    w.lumaWeight = 1 << h.lumaLog2WeightDenom;
    w.chromaWeight[0] = w.chromaWeight[1] = 1 << h.chromaLog2WeightDenom;
    w.lumaFlag = r.Bit();
    if (w.lumaFlag) {
      w.lumaWeight = r.Se();
      w.lumaOffset = r.Se();
      if (!InByteRange(w.lumaWeight) || !InByteRange(w.lumaOffset)) return kSliceWeightRange;
    }
    w.chromaFlag = r.Bit();
    if (w.chromaFlag) {
      for (int c = 0; c < 2; ++c) {
        w.chromaWeight[c] = r.Se();
        w.chromaOffset[c] = r.Se();
        if (!InByteRange(w.chromaWeight[c]) || !InByteRange(w.chromaOffset[c])) return kSliceWeightRange;
      }
    }
    if (r.Overrun()) return kSliceTruncated;
  }
  return 0;
}

uint32_t ReadMarking(BitReader& r, SliceHeader& h) {
  h.markingCount = 0;
  if (h.nalUnitType == 5) {
    h.noOutputOfPriorPics = r.Bit();
    h.longTermReference = r.Bit();
    return 0;
  }
  h.adaptiveRefPicMarking = r.Bit();
  if (!h.adaptiveRefPicMarking) return 0;
  for (uint32_t i = 0; i < kMaxListCommands; ++i) {
    MarkingOperation& m = h.marking[i];
    m = MarkingOperation{};
    m.operation = r.Ue();
    if (m.operation > 6) return kSliceMarkingRange;
    if (m.operation == 0) return 0;
    if (m.operation == 1 || m.operation == 3) m.differenceOfPicNumsMinus1 = r.Ue();
    if (m.operation == 2) m.longTermPicNum = r.Ue();
    if (m.operation == 3 || m.operation == 6) m.longTermFrameIdx = r.Ue();
    if (m.operation == 4) m.maxLongTermFrameIdxPlus1 = r.Ue();
    h.markingCount = i + 1;
    if (r.Overrun()) return kSliceTruncated;
  }
  return kSliceMarkingRange;
}

}  // namespace

uint32_t ParseSliceHeader(BitReader& r, const SeqParamSet* spsSets, const PicParamSet* ppsSets, SliceHeader& h) {
  const bool idr = h.nalUnitType == 5;
  h.firstMbInSlice = r.Ue();
  const uint32_t rawType = r.Ue();
  if (rawType > 9) return kSliceTypeRange;
  const uint32_t type = rawType % 5;
  if (type == 1) return kSliceB;
  // SP and SI carry fields of their own further on; read as P or I the rest
  // of the header would be misread.
  if (type == 3 || type == 4) return kSliceSwitching;
  h.sliceType = type;
  h.ppsId = r.Ue();
  if (h.ppsId >= kMaxPps || !ppsSets[h.ppsId].valid) return kSlicePpsMissing;
  const PicParamSet& pps = ppsSets[h.ppsId];
  if (!spsSets[pps.spsId].valid) return kPpsSpsMissing;
  const SeqParamSet& sps = spsSets[pps.spsId];
  h.frameNum = r.Bits(sps.log2MaxFrameNum);
  if (idr && h.frameNum != 0) return kSliceIdrFrameNum;
  h.fieldPic = false;
  h.bottomField = false;
  if (!sps.frameMbsOnly) {
    h.fieldPic = r.Bit();
    if (h.fieldPic) h.bottomField = r.Bit();
  }
  h.idrPicId = idr ? r.Ue() : 0x10000;
  h.picOrderCntLsb = 0;
  h.deltaPicOrderCntBottom = 0;
  h.deltaPicOrderCnt[0] = h.deltaPicOrderCnt[1] = 0;
  if (sps.pocType == 0) {
    h.picOrderCntLsb = r.Bits(sps.log2MaxPocLsb);
    if (pps.picOrderPresent && !h.fieldPic) h.deltaPicOrderCntBottom = r.Se();
  } else if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
    h.deltaPicOrderCnt[0] = r.Se();
    if (pps.picOrderPresent && !h.fieldPic) h.deltaPicOrderCnt[1] = r.Se();
  }
  if (pps.redundantPicCntPresent && r.Ue() != 0) return kSliceRedundant;
  h.numRefIdxL0ActiveMinus1 = pps.numRefIdxL0DefaultMinus1;
  h.reorderingCount = 0;
  if (h.sliceType == kSliceTypeP) {
    if (r.Bit()) {
      h.numRefIdxL0ActiveMinus1 = r.Ue();
      if (h.numRefIdxL0ActiveMinus1 > 31) return kSliceRefIdxRange;
    }
    if (const uint32_t e = ReadReordering(r, h)) return e;
    if (pps.weightedPred) {
      if (const uint32_t e = ReadWeights(r, h)) return e;
    }
  }
  h.noOutputOfPriorPics = false;
  h.longTermReference = false;
  h.adaptiveRefPicMarking = false;
  h.markingCount = 0;
  if (h.nalRefIdc != 0) {
    if (const uint32_t e = ReadMarking(r, h)) return e;
  }
  const int32_t qp = pps.picInitQp + r.Se();
  if (qp < 0 || qp > 51) return kSliceQpRange;
  h.sliceQp = qp;
  h.disableDeblockingFilterIdc = 0;
  h.sliceAlphaC0OffsetDiv2 = 0;
  h.sliceBetaOffsetDiv2 = 0;
  if (pps.deblockingFilterControlPresent) {
    h.disableDeblockingFilterIdc = r.Ue();
    if (h.disableDeblockingFilterIdc > 2) return kSliceDeblockIdcRange;
    if (h.disableDeblockingFilterIdc != 1) {
      h.sliceAlphaC0OffsetDiv2 = r.Se();
      h.sliceBetaOffsetDiv2 = r.Se();
      if (h.sliceAlphaC0OffsetDiv2 < -6 || h.sliceAlphaC0OffsetDiv2 > 6 || h.sliceBetaOffsetDiv2 < -6 ||
          h.sliceBetaOffsetDiv2 > 6) {
        return kSliceDeblockOffsetRange;
      }
    }
  }
  if (r.Overrun()) return kSliceTruncated;
  return 0;
}

}  // namespace avc
