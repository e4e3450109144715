// Which kernel set a processor level selects, and the hook that forces a
// set for one decoder.
#include <gtest/gtest.h>

#include <memory>

#include "codecs/h264/avc_context.h"
#include "codecs/h264/avc_kernel_choice.h"
#include "codecs/h264/simd_kernel_sets.h"

namespace {

TEST(KernelSelection, LevelsBelowSse2GetThePlainSetAndEachSimdSetItsLevelUp) {
  for (int32_t level = 0; level < kCpuLevelSse2; ++level) EXPECT_EQ(&avc::SelectKernels(level), &avc::PlainKernels());
  const std::vector<avc::SimdKernelSet>& sets = avc::SimdKernelSets();
#if defined(__x86_64__) || defined(__i386__)
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].minimumCpuLevel, kCpuLevelSse2);
  EXPECT_EQ(sets[1].minimumCpuLevel, kCpuLevelAvx2);
#endif
  for (size_t i = 0; i < sets.size(); ++i) {
    const int32_t next = i + 1 < sets.size() ? sets[i + 1].minimumCpuLevel : sets[i].minimumCpuLevel + 1;
    for (int32_t level = sets[i].minimumCpuLevel; level < next; ++level)
      EXPECT_EQ(&avc::SelectKernels(level), sets[i].kernels) << "level " << level;
  }
}

TEST(KernelSelection, ForcingChoosesThePlainOrTheBestSimdSetForOneDecoder) {
  AvcDecParams params;
  std::unique_ptr<AvcDecContext, void (*)(AvcDecContext*)> decoder(AvcDecCreate(&params), AvcDecDestroy);
  ASSERT_TRUE(decoder);
  const avc::KernelSet* best = &avc::SelectKernels(DetectCpuLevel());
  EXPECT_EQ(decoder->kernels, best);
  AvcDecForceKernels(decoder.get(), AvcKernelChoice::kPlain);
  EXPECT_EQ(decoder->kernels, &avc::PlainKernels());
  AvcDecForceKernels(decoder.get(), AvcKernelChoice::kBestSimd);
  EXPECT_EQ(decoder->kernels, best);
#if defined(__x86_64__)
  EXPECT_NE(best, &avc::PlainKernels());  // x86-64 always has SSE2
#endif
  AvcDecForceKernels(nullptr, AvcKernelChoice::kPlain);
}

}  // namespace
