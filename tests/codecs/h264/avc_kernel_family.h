#pragma once
// The H.264 library's kernel slots as a family of the kernel-set harness:
// every slot of every SIMD set against the plain slot.
#include "tests/codecs/kernels/kernel_family.h"

kernel_check::Family AvcKernelFamily();
