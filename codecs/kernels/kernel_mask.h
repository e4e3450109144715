#pragma once
// The processor features the kernel families may use, as a mask over
// ProcessorFeatures(): tests, benchmarks and tools lower it to force every
// family to its plain set (mask 0) or leave it whole for the best SIMD sets.
// Every family chooses its set once, at its first use, from the features
// the mask leaves then; so the mask is set before the first decoder or
// converter runs, and cannot change after that.
#include <cstdint>

namespace codecs {

constexpr uint32_t kAllCpuFeatures = ~uint32_t{0};

// Keeps only the features in `mask` for every choice of a kernel set.
// False, and nothing changes, once a family has chosen.
bool LimitKernelFeatures(uint32_t mask);
// The features a family chooses its set from; the mask is fixed from the
// first call on.
uint32_t KernelFeatures();

}  // namespace codecs
