#pragma once
// The x86 kernels, each group in a file of its own compiled for its
// instruction set.  A Fill function overwrites the slots its group has
// kernels for; the set it fills must only run on a processor that has the
// instruction set.
#include "codecs/h264/kernel_set.h"

namespace avc {

// Motion compensation, combination and transforms.
void FillSse2InterKernels(KernelSet& kernels);
void FillAvx2InterKernels(KernelSet& kernels);
// The output deinterlacer's row kernel.
void FillSse2DeinterlaceKernel(KernelSet& kernels);

}  // namespace avc
