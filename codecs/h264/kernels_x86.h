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
// Edge filters.  The luma filter may read (never change) p3 and q3 of every
// sample of its edge, the chroma one p1 and q1, whatever the strengths; the
// deblocking driver's pictures always hold them.
void FillSse2EdgeFilters(KernelSet& kernels);
// Intra predictors, in the slots where they are faster than the plain ones.
void FillSse2IntraKernels(KernelSet& kernels);
// The output deinterlacer's row kernel.
void FillSse2DeinterlaceKernel(KernelSet& kernels);

}  // namespace avc
