#pragma once
// Hands one NAL unit (its RBSP in the context's buffer) to the parser or
// decoder of its type.
#include <cstddef>
#include <cstdint>

struct AvcDecContext;

namespace avc {

enum : uint32_t {
  kNalEndOfStream = 1,
  kNalNewPicture = 2,   // also a user-data unit
  kNalSamePicture = 3,
  kNalSeqParams = 7,
  kNalPicParams = 8,
  kNalIgnored = 9,
};

// One of the results above, or an error code (error_codes.h).
uint32_t DecodeNalUnit(AvcDecContext& context, size_t bytes);

// Deblocks the current picture if that has not been done.
void FinishCurrentPictureSamples(AvcDecContext& context);

}  // namespace avc
