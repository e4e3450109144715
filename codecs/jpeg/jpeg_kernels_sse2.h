#pragma once
#include "codecs/jpeg/jpeg_kernel_set.h"

namespace jpeg {
// The SSE2 set, faster in every slot; present only in x86 builds.
void FillSse2JpegKernels(JpegKernelSet& set);
}  // namespace jpeg
