// The kernel mask as vyxdecode --kernels=plain sets it: lowered before the
// first use, every family (converters and row copy, MPEG-4, JPEG, H.264)
// chooses its plain set; once a family has chosen, the mask stays.  One
// process per test case (CTest runs each on its own), since the choice is
// made once per process.
#include <gtest/gtest.h>

#include <memory>

#include "codecs/h264/simd_kernel_sets.h"
#include "codecs/jpeg/jpeg_kernels.h"
#include "codecs/kernels/cpu_features.h"
#include "codecs/kernels/kernel_mask.h"
#include "codecs/mpeg4/mp4_kernels.h"
#include "codecs/pixels/pixel_kernels.h"

namespace {

TEST(KernelMask, AMaskOfNoFeaturesSetBeforeFirstUseMakesEveryFamilyPlain) {
  ASSERT_TRUE(codecs::LimitKernelFeatures(0));
  EXPECT_EQ(&pixel_kernels::Active(), &pixel_kernels::Plain());
  EXPECT_EQ(&jpeg::kernels::Active(), &jpeg::kernels::Plain());
  EXPECT_EQ(&Mp4SelectedKernels(), &Mp4PlainKernels());
  EXPECT_EQ(&avc::KernelSets().Chosen(), &avc::KernelSets().Plain());

  EXPECT_FALSE(codecs::LimitKernelFeatures(codecs::kAllCpuFeatures));
  EXPECT_EQ(codecs::KernelFeatures(), 0u);
}

TEST(KernelMask, LeftAloneEveryFamilyRunsTheBestSetOfTheProcessor) {
  const uint32_t here = codecs::ProcessorFeatures();
  EXPECT_EQ(codecs::KernelFeatures(), here);
  EXPECT_EQ(&pixel_kernels::Active(), &pixel_kernels::Sets().BestFor(here));
  EXPECT_EQ(&jpeg::kernels::Active(), &jpeg::kernels::Sets().BestFor(here));
  EXPECT_EQ(&Mp4SelectedKernels(), &Mp4KernelSets().BestFor(here));
#if defined(__x86_64__)
  EXPECT_NE(&Mp4SelectedKernels(), &Mp4PlainKernels());  // x86-64 always has SSE2
#endif
  EXPECT_FALSE(codecs::LimitKernelFeatures(0));
}

}  // namespace
