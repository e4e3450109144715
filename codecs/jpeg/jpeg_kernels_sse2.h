#pragma once
#include "codecs/jpeg/jpeg_kernel_set.h"

namespace jpeg {
// Replaces every slot with its SSE2 kernel; present only in x86 builds.
void FillSse2JpegKernels(JpegKernelSet& set);
}  // namespace jpeg
