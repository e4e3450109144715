#pragma once
// Why a NAL unit was abandoned or a picture withheld.  The top nibble names
// the layer: 1 the unit, 2 a parameter set, 3 the slice header, the
// picture's set-up and its references, 4 slice data.  The caller learns the
// last call's code from AvcDecLastRefusal.
#include <cstdint>

namespace avc {

enum : uint32_t {
  kNalTypeNotHandled = 0x10000001,
  kSliceBeforeParameters = 0x10000004,

  kSpsIdRange = 0x20000001,
  kSpsFrameNumRange = 0x20000002,
  kSpsRefFramesRange = 0x20000003,
  kSpsPocTypeRange = 0x20000004,
  kSpsPocCycleRange = 0x20000005,
  kSpsCropTooLarge = 0x20000006,
  kSpsProfileNotSupported = 0x20000007,  // High profiles: chroma format, bit depth, scaling lists
  kSpsPocLsbRange = 0x20000008,
  kSpsRefFramesAboveCreate = 0x2000000a,
  kSpsMbaff = 0x2000000b,
  kSpsSizeRange = 0x2000000c,
  kSpsTruncated = 0x2000000d,
  kPpsIdRange = 0x20000011,
  kPpsSpsMissing = 0x20000012,
  kPpsInitQpRange = 0x20000013,
  kPpsInitQsRange = 0x20000014,
  kPpsChromaOffsetRange = 0x20000015,
  kPpsRefIdxL0Range = 0x20000016,
  kPpsRefIdxL1Range = 0x20000017,
  kPpsTruncated = 0x20000018,
  kPpsSliceGroups = 0x2000001a,
  kPpsCabac = 0x2000001b,

  kSliceTypeRange = 0x30000001,
  kSlicePpsMissing = 0x30000002,
  kSliceIdrFrameNum = 0x30000003,
  kSliceRefList = 0x30000005,
  kSlicePictureSetUp = 0x30000006,
  kSliceRefIdxRange = 0x30000007,
  kSliceQpRange = 0x30000008,
  kSliceWeightDenomRange = 0x30000009,
  kSliceWeightRange = 0x3000000a,
  kSliceDeblockIdcRange = 0x3000000b,
  kSliceDeblockOffsetRange = 0x3000000c,
  kSliceReorderingRange = 0x3000000d,
  kSliceMarkingRange = 0x3000000e,
  kSliceTruncated = 0x3000000f,
  kSliceSwitching = 0x30000010,   // SP and SI slices
  kSliceB = 0x3000001a,
  kSliceRedundant = 0x3000001b,
  kPictureWithheld = 0x30000020,  // predicted from a picture that was not decoded

  kSliceDataError = 0x40000000,  // plus the macroblock's error bits
};

inline bool IsRefusal(uint32_t code) { return code >= 0x10000000; }

// A short English meaning of a code ("B slice: not decoded"); slice data
// errors read alike whatever their macroblock bits; "" for 0 and for values
// that are no code.
const char* DescribeRefusal(uint32_t code);

// True for a code that names something the decoder does not support (CABAC,
// B slices, High profiles, sizes beyond the decoder's, ...), false for
// damaged or inconsistent data and for a picture withheld.
bool IsUnsupported(uint32_t code);

}  // namespace avc
