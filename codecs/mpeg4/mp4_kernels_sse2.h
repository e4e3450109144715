#pragma once
#include "codecs/mpeg4/mp4_kernel_set.h"

// Replaces every slot with its SSE2 kernel; present only in x86 builds.
void FillMp4Sse2Kernels(Mp4Kernels& set);
