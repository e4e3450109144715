#pragma once
// The YUV converters and the renderer's 32-bit row copy as a kernel family
// (codecs/kernels/kernel_family.h): the plain C++ set is the definition, the
// SIMD sets produce the same bytes faster.  The set is chosen at the first
// use; the public converters (yuv_converters.h) go through it.
#include "codecs/kernels/kernel_family.h"
#include "codecs/pixels/pixel_kernel_set.h"

namespace pixel_kernels {

// Plain, SSE2, AVX2 on x86 builds.
const codecs::KernelFamily<KernelSet>& Sets();
const KernelSet& Plain();
// The chosen set.
const KernelSet& Active();

}  // namespace pixel_kernels
