#include "codecs/h264/error_codes.h"

namespace avc {

namespace {

struct RefusalText {
  uint32_t code;
  const char* text;
};

constexpr RefusalText kRefusalTexts[] = {
    {kNalTypeNotHandled, "NAL unit type: not decoded"},
    {kSliceBeforeParameters, "slice before its parameter sets or before an intra picture"},

    {kSpsIdRange, "sequence parameter set: id above 31"},
    {kSpsFrameNumRange, "sequence parameter set: frame_num longer than 16 bits"},
    {kSpsRefFramesRange, "sequence parameter set: more than 16 reference frames"},
    {kSpsPocTypeRange, "sequence parameter set: picture order count type above 2"},
    {kSpsPocCycleRange, "sequence parameter set: picture order count cycle longer than 255"},
    {kSpsCropTooLarge, "sequence parameter set: cropping as large as the picture"},
    {kSpsProfileNotSupported, "High profile: not decoded"},
    {kSpsPocLsbRange, "sequence parameter set: picture order count longer than 16 bits"},
    {kSpsRefFramesAboveCreate, "sequence parameter set: more reference frames than the decoder holds"},
    {kSpsMbaff, "MBAFF: not decoded"},
    {kSpsSizeRange, "sequence parameter set: picture size beyond the decoder's"},
    {kSpsTruncated, "sequence parameter set: cut short"},
    {kPpsIdRange, "picture parameter set: id above 255"},
    {kPpsSpsMissing, "picture parameter set: its sequence parameter set is missing"},
    {kPpsInitQpRange, "picture parameter set: initial QP out of range"},
    {kPpsInitQsRange, "picture parameter set: initial QS out of range"},
    {kPpsChromaOffsetRange, "picture parameter set: chroma QP offset out of range"},
    {kPpsRefIdxL0Range, "picture parameter set: more than 32 list 0 references"},
    {kPpsRefIdxL1Range, "picture parameter set: more than 32 list 1 references"},
    {kPpsTruncated, "picture parameter set: cut short"},
    {kPpsSliceGroups, "slice groups: not decoded"},
    {kPpsCabac, "CABAC: not decoded"},

    {kSliceTypeRange, "slice header: slice type above 9"},
    {kSlicePpsMissing, "slice header: its picture parameter set is missing"},
    {kSliceIdrFrameNum, "slice header: IDR picture with frame_num not 0"},
    {kSliceRefList, "P slice: no reference picture"},
    {kSlicePictureSetUp, "picture: no free frame-store entry"},
    {kSliceRefIdxRange, "slice header: more than 32 references"},
    {kSliceQpRange, "slice header: QP out of range"},
    {kSliceWeightDenomRange, "slice header: weight denominator above 7"},
    {kSliceWeightRange, "slice header: weight or offset out of range"},
    {kSliceDeblockIdcRange, "slice header: deblocking mode above 2"},
    {kSliceDeblockOffsetRange, "slice header: deblocking offset out of range"},
    {kSliceReorderingRange, "slice header: reference list reordering out of range"},
    {kSliceMarkingRange, "slice header: reference marking out of range"},
    {kSliceTruncated, "slice header: cut short"},
    {kSliceSwitching, "SP or SI slice: not decoded"},
    {kSliceB, "B slice: not decoded"},
    {kSliceRedundant, "redundant picture: not decoded"},
    {kPictureWithheld, "picture withheld: it refers to a picture not decoded"},
};

constexpr uint32_t kUnsupported[] = {
    kNalTypeNotHandled, kSpsProfileNotSupported, kSpsRefFramesAboveCreate, kSpsMbaff,
    kSpsSizeRange,      kPpsSliceGroups,    kPpsCabac,               kSliceSwitching,          kSliceB,
    kSliceRedundant,
};

}  // namespace

bool IsUnsupported(uint32_t code) {
  for (const uint32_t unsupported : kUnsupported) {
    if (unsupported == code) return true;
  }
  return false;
}

const char* DescribeRefusal(uint32_t code) {
  if ((code >> 28) == (kSliceDataError >> 28)) return "slice data: damaged macroblock";
  for (const RefusalText& entry : kRefusalTexts) {
    if (entry.code == code) return entry.text;
  }
  return "";
}

}  // namespace avc
