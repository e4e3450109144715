#include "codecs/kernels/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace codecs {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// The register state the operating system saves on a context switch
// (XCR0); XGETBV exists only where CPUID reports OSXSAVE.
uint64_t SavedRegisterState() {
  uint32_t low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (uint64_t{high} << 32) | low;
}

// AVX2 needs the processor's word for it and the operating system saving
// the XMM and YMM halves of the vector registers.
bool RunsAvx2(unsigned leaf1Ecx) {
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((leaf1Ecx & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return false;
  if ((SavedRegisterState() & 6) != 6) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & (1u << 5)) != 0;
}

// x86-64 always keeps the XMM registers across context switches, so SSE
// needs no save-and-restore probe beyond FXSR.
uint32_t Probe() {
  if (__get_cpuid_max(0, nullptr) < 1) return 0;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(1, eax, ebx, ecx, edx);
  uint32_t features = 0;
  if (edx & (1u << 23)) features |= kCpuMmx;
  if (edx & (1u << 15)) features |= kCpuCmov;
  if ((edx & (1u << 24)) && (edx & (1u << 25))) features |= kCpuSse;
  if (edx & (1u << 26)) features |= kCpuSse2;
  if (ecx & 1u) features |= kCpuSse3;
  if (ecx & (1u << 9)) features |= kCpuSsse3;
  if (RunsAvx2(ecx)) features |= kCpuAvx2;
  return features;
}
#else
uint32_t Probe() { return 0; }
#endif

}  // namespace

uint32_t ProcessorFeatures() {
  static const uint32_t features = Probe();
  return features;
}

}  // namespace codecs
