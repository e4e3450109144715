#pragma once
// The MPEG-4 decoder's kernels (IDCT, block put and add, half- and
// quarter-sample prediction) as a family of the kernel-set harness.
#include "tests/codecs/kernels/kernel_family.h"

kernel_check::Family Mp4KernelFamily();
