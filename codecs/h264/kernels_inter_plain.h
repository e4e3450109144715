#pragma once
// The plain members of the inter-prediction slots.
#include "codecs/h264/kernel_set.h"

namespace avc {

void FillPlainInterKernels(KernelSet& kernels);

// The 2x2 chroma kernels by chroma class.  Sub-macroblock partitions use
// these in every set, so they sit outside the slot block.
const ChromaMcKernel (&PlainChroma2x2Kernels())[4];

}  // namespace avc
