#pragma once
// The x86 kernel sets, each in a file of its own compiled for its
// instruction set.  Call a set's kernels only where the processor has it.
#include "codecs/pixels/pixel_kernel_set.h"

namespace pixel_kernels {

// The plain row copy, which the SIMD sets use for the pixels after their
// last whole step.
void CopyRgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits);

const KernelSet& Sse2Set();
const KernelSet& Avx2Set();

}  // namespace pixel_kernels
