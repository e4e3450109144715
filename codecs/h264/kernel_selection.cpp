#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/cpu_level.h"
#include "codecs/h264/simd_kernel_sets.h"
#include "codecs/kernels/cpu_features.h"
#if defined(ORLENTA_X86_KERNELS)
#include "codecs/h264/kernels_x86.h"
#endif

namespace avc {

namespace {

#if defined(ORLENTA_X86_KERNELS)
void FillSse2(KernelSet& k) {
  FillSse2InterKernels(k);
  FillSse2EdgeFilters(k);
  FillSse2IntraKernels(k);
  FillSse2DeinterlaceKernel(k);
}
#endif

}  // namespace

const codecs::KernelFamily<KernelSet>& KernelSets() {
  static const codecs::KernelFamily<KernelSet> family(PlainKernels(), {
#if defined(ORLENTA_X86_KERNELS)
      {"SSE2", codecs::kCpuSse2, FillSse2},
      // AVX2 kernels where the wider registers pay.
      {"AVX2", codecs::kCpuAvx2, FillAvx2InterKernels},
#endif
  });
  return family;
}

const std::vector<SimdKernelSet>& SimdKernelSets() {
  static const std::vector<SimdKernelSet> sets = [] {
    std::vector<SimdKernelSet> found;
    for (const auto& set : KernelSets().All())
      if (set.table != &KernelSets().Plain()) found.push_back({set.name, LowestCpuLevelWith(set.needs), set.table});
    return found;
  }();
  return sets;
}

const KernelSet& SelectKernels(int32_t cpuLevel) { return KernelSets().BestFor(CpuLevelFeatures(cpuLevel)); }

}  // namespace avc
