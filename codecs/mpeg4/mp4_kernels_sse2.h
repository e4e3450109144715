#pragma once
#include "codecs/mpeg4/mp4_kernel_set.h"

// The SSE2 set, faster in every slot; present only in x86 builds.
void FillMp4Sse2Kernels(Mp4Kernels& set);
