#pragma once
// The YUV converters and the renderer's row copy as a family of the
// kernel-set harness.
#include "tests/codecs/kernels/kernel_family.h"

kernel_check::Family PixelKernelFamily();
