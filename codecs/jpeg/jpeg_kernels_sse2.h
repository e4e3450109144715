#pragma once
#include "codecs/jpeg/jpeg_kernel_set.h"

namespace jpeg {
// The SSE2 set; present only in x86 builds.
extern const JpegKernelSet kSse2JpegKernels;
}  // namespace jpeg
