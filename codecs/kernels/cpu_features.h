#pragma once
// What the processor runs, probed once: the one probe every kernel family
// chooses its set from (the H.264 library's DetectCpuLevel is derived from
// it).  Kernel families go through the kernel mask (kernel_mask.h), which
// tests and tools may lower; this is what the processor itself has.
#include <cstdint>

namespace codecs {

// Bits of a feature mask.
enum CpuFeature : uint32_t {
  kCpuMmx = 1u << 0,
  kCpuCmov = 1u << 1,
  kCpuSse = 1u << 2,  // with FXSAVE, which keeps its registers
  kCpuSse2 = 1u << 3,
  kCpuSse3 = 1u << 4,
  kCpuSsse3 = 1u << 5,
  kCpuAvx2 = 1u << 6,  // with the operating system saving the 256-bit registers
};

// The features of this processor; none on processors other than x86.
uint32_t ProcessorFeatures();

}  // namespace codecs
