#pragma once
// The plain members of the inter-prediction slots.
#include "codecs/h264/kernel_set.h"

namespace avc {

void FillPlainInterKernels(KernelSet& kernels);

}  // namespace avc
