#pragma once
// The SIMD kernel sets this build holds.  Each starts as a copy of the set
// below it (the plain set under SSE2) and replaces the slots it has faster
// kernels for, so every slot of every set is filled.  SelectKernels picks
// the highest set the processor level allows.
#include <cstdint>
#include <vector>

#include "codecs/h264/kernel_set.h"

namespace avc {

struct SimdKernelSet {
  const char* name;
  int32_t minimumCpuLevel;  // DetectCpuLevel's value the set needs
  const KernelSet* kernels;
};

// By increasing level; empty on processors without SIMD sets.
const std::vector<SimdKernelSet>& SimdKernelSets();

}  // namespace avc
