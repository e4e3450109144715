#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/simd_kernel_sets.h"
#if defined(ORLENTA_X86_KERNELS)
#include "codecs/h264/kernels_x86.h"
#endif

namespace avc {

namespace {

#if defined(ORLENTA_X86_KERNELS)
KernelSet MakeSse2() {
  KernelSet k = PlainKernels();
  FillSse2InterKernels(k);
  FillSse2EdgeFilters(k);
  FillSse2IntraKernels(k);
  FillSse2DeinterlaceKernel(k);
  return k;
}

// AVX2 kernels where the wider registers pay; the SSE2 ones elsewhere.
KernelSet MakeAvx2() {
  KernelSet k = MakeSse2();
  FillAvx2InterKernels(k);
  return k;
}
#endif

}  // namespace

const std::vector<SimdKernelSet>& SimdKernelSets() {
  static const std::vector<SimdKernelSet> sets = [] {
    std::vector<SimdKernelSet> found;
#if defined(ORLENTA_X86_KERNELS)
    static const KernelSet sse2 = MakeSse2();
    static const KernelSet avx2 = MakeAvx2();
    found.push_back({"SSE2", kCpuLevelSse2, &sse2});
    found.push_back({"AVX2", kCpuLevelAvx2, &avx2});
#endif
    return found;
  }();
  return sets;
}

const KernelSet& SelectKernels(int32_t cpuLevel) {
  const KernelSet* chosen = &PlainKernels();
  for (const SimdKernelSet& set : SimdKernelSets())
    if (cpuLevel >= set.minimumCpuLevel) chosen = set.kernels;
  return *chosen;
}

}  // namespace avc
