#pragma once
// The decoder's pixel kernels as a kernel family
// (codecs/kernels/kernel_family.h): the plain C++ set is the definition, the
// SSE2 set computes the same bytes faster.
#include "codecs/kernels/kernel_family.h"
#include "codecs/mpeg4/mp4_kernel_set.h"

// Plain, then SSE2 on x86 builds.
const codecs::KernelFamily<Mp4Kernels>& Mp4KernelSets();
const Mp4Kernels& Mp4PlainKernels();
// The chosen set.
const Mp4Kernels& Mp4SelectedKernels();
