#include "tests/codecs/h264/avc_kernel_family.h"

#include <gtest/gtest.h>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/simd_kernel_sets.h"
#include "tests/codecs/h264/avc_kernel_checks.h"

namespace {

using Check = void (*)(const avc::KernelSet&, std::mt19937&);
constexpr Check kChecks[] = {
    avc_kernel_checks::CompareMotionCompensation,
    avc_kernel_checks::CompareCombination,
    avc_kernel_checks::CompareTransforms,
    avc_kernel_checks::CompareEdgeFilters,
    avc_kernel_checks::CompareIntraPredictors,
    avc_kernel_checks::CompareDeinterlace,
};

}  // namespace

kernel_check::Family AvcKernelFamily() {
  kernel_check::Family family{"H.264 decoder kernels", {}};
  const int32_t level = DetectCpuLevel();
  for (const avc::SimdKernelSet& set : avc::SimdKernelSets()) {
    const avc::KernelSet* kernels = set.kernels;
    family.sets.push_back({set.name, level >= set.minimumCpuLevel, [kernels](std::mt19937& random) {
                             for (Check check : kChecks) {
                               check(*kernels, random);
                               if (testing::Test::HasFatalFailure()) return;
                             }
                           }});
  }
  return family;
}
