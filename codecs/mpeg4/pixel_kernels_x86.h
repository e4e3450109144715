#pragma once
// The x86 kernel sets, each in a file of its own compiled for its
// instruction set.  Call a set's kernels only where the processor has it.
#include "codecs/mpeg4/pixel_kernels.h"

namespace pixel_kernels {

const KernelSet& Sse2Set();
const KernelSet& Avx2Set();

}  // namespace pixel_kernels
