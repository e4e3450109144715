#pragma once
// For tests and benchmarks only: overrides the kernel set AvcDecCreate took
// for one decoder, to compare the plain set with the SIMD one on the same
// stream in one process (the kernel mask, codecs/kernels/kernel_mask.h,
// forces every family at once, before the first use).  The player never
// calls it; a decoder left alone runs the set the library chose.  Call it
// between decodes, never while another thread decodes with the context.
#include "codecs/h264/avc_decoder.h"

enum class AvcKernelChoice {
  kPlain,     // the plain C++ set, which defines the values
  kBestSimd,  // the highest SIMD set this processor runs; plain without one
};

void AvcDecForceKernels(AvcDecContext* context, AvcKernelChoice choice);
