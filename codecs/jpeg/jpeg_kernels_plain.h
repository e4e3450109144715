#pragma once
#include "codecs/jpeg/jpeg_kernel_set.h"

namespace jpeg {
extern const JpegKernelSet kPlainJpegKernels;
}  // namespace jpeg
