#include "codecs/h264/avc_decoder.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

// x86-64 always keeps the XMM registers across context switches, so no
// save-and-restore probe is needed; other processors run the plain kernels.
int32_t DetectCpuLevel() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) < 1) return 0;
  __cpuid(1, eax, ebx, ecx, edx);
  if (!(edx & (1u << 23))) return 0;
  if (!(edx & (1u << 15))) return 1;
  if (!((edx & (1u << 24)) && (edx & (1u << 25)))) return 2;
  if (!(edx & (1u << 26))) return 3;
  if (!(ecx & 1u)) return 4;
  return 5;
#else
  return 2;
#endif
}
