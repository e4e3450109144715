#pragma once
// The kernel sets this build holds, as a kernel family
// (codecs/kernels/kernel_family.h).  Each SIMD set starts as a copy of the
// set below it (the plain set under SSE2) and replaces the slots it has
// faster kernels for, so every slot of every set is filled.
#include <cstdint>
#include <vector>

#include "codecs/h264/kernel_set.h"
#include "codecs/kernels/kernel_family.h"

namespace avc {

// Plain, then SSE2 and AVX2 on x86 builds.  A decoder takes the chosen set
// when it is created.
const codecs::KernelFamily<KernelSet>& KernelSets();

struct SimdKernelSet {
  const char* name;
  int32_t minimumCpuLevel;  // DetectCpuLevel's value the set needs
  const KernelSet* kernels;
};

// The sets after the plain one, by increasing level; empty on processors
// without SIMD sets.
const std::vector<SimdKernelSet>& SimdKernelSets();

}  // namespace avc
