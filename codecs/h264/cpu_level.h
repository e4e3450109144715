#pragma once
// DetectCpuLevel's levels as processor features (codecs/kernels/cpu_features.h),
// so that a level picks its kernel set the way the features do.
#include <cstdint>

namespace avc {

// The features of every level up to `level`.
uint32_t CpuLevelFeatures(int32_t level);
// The lowest level that has all of `features`; above kCpuLevelAvx2 when none
// has.
int32_t LowestCpuLevelWith(uint32_t features);

}  // namespace avc
