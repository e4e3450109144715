#include "tests/codecs/h264/avc_kernel_family.h"

#include <gtest/gtest.h>

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
  return kernel_check::FamilyOf<avc::KernelSet>("H.264 decoder kernels", avc::KernelSets(),
                                                [](const avc::KernelSet& set, std::mt19937& random) {
                                                  for (Check check : kChecks) {
                                                    check(set, random);
                                                    if (testing::Test::HasFatalFailure()) return;
                                                  }
                                                });
}
