#pragma once
// The x86 kernel sets, each in a file of its own compiled for its
// instruction set.  Each Fill replaces every slot of the set below it.
// Call a set's kernels only where the processor has it.
#include "codecs/pixels/pixel_kernel_set.h"

namespace pixel_kernels {

// The plain row copy, which the SIMD sets use for the pixels after their
// last whole step.
void CopyRgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits);

void FillSse2(KernelSet& set);
void FillAvx2(KernelSet& set);

}  // namespace pixel_kernels
