#pragma once
// The YUV converters and the renderer's 32-bit row copy as kernel sets: the
// plain C++ set is the definition, the SIMD sets produce the same bytes
// faster.  One set is chosen at start-up from what the processor reports;
// the public converters (yuv_converters.h) go through it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixel_kernels {

// Arguments as in yuv_converters.h.
using Converter = void (*)(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                           uint8_t* dst, int width, int height, int dstStride);
// `pixels` 32-bit pixels from `from` to `to` with `bits` OR-ed into each.
using Rgb32RowCopy = void (*)(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits);

struct KernelSet {
  const char* name;
  Converter rgb24, rgb32, rgb565, yuy2, uyvy;
  Rgb32RowCopy rgb32RowSettingBits;
};

// A set this build holds, and whether this processor can run it.
struct Candidate {
  const KernelSet* set;
  bool runsHere;
};

const KernelSet& Plain();
// Every set of the build, plain first, then by increasing speed.
const std::vector<Candidate>& Candidates();
// The fastest set this processor runs; chosen at the first call.
const KernelSet& Active();

// The plain row copy, which the SIMD sets also use for the pixels after
// their last whole step.
void CopyRgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits);

}  // namespace pixel_kernels
