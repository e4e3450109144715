#pragma once
// The JPEG decoder's fast IDCT and colour conversion as a family of the
// kernel-set harness.
#include "tests/codecs/kernels/kernel_family.h"

kernel_check::Family JpegKernelFamily();
