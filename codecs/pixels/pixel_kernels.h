#pragma once
// The YUV converters and the renderer's 32-bit row copy as kernel sets: the
// plain C++ set is the definition, the SIMD sets produce the same bytes
// faster.  One set is chosen at start-up from what the processor reports;
// the public converters (yuv_converters.h) go through it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/pixels/pixel_kernel_set.h"

namespace pixel_kernels {

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

}  // namespace pixel_kernels
