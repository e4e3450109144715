#pragma once
// What the processor reports it can run, asked once.  Kernel tables read it
// to choose their set at start-up.
//
// Include it only from code built for the baseline instruction set: a copy
// of these inline functions compiled with -mavx2 could be the one the linker
// keeps.
namespace codecs {

struct CpuFeatures {
  bool sse2 = false;
  bool avx2 = false;  // with the operating system saving the 256-bit registers
};

inline const CpuFeatures& ProcessorFeatures() {
  static const CpuFeatures features = [] {
    CpuFeatures found;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    found.sse2 = __builtin_cpu_supports("sse2");
    found.avx2 = __builtin_cpu_supports("avx2");
#endif
    return found;
  }();
  return features;
}

}  // namespace codecs
