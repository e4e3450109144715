#pragma once
// The JPEG kernels as a kernel family (codecs/kernels/kernel_family.h): the
// sets this build holds and the one chosen at the first use.
#include "codecs/jpeg/jpeg_kernel_set.h"
#include "codecs/kernels/kernel_family.h"

namespace jpeg::kernels {

// Plain, then SSE2 on x86 builds.
const codecs::KernelFamily<JpegKernelSet>& Sets();
const JpegKernelSet& Plain();
const JpegKernelSet& Active();

}  // namespace jpeg::kernels
