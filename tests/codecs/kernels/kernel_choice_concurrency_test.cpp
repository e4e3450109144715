// Threads that use every kernel family for the first time at once, while
// some of them try to lower the kernel mask: each family is built once and
// every thread sees the same set, plain for all when a mask was taken
// (before any choice, so before every choice) and the processor's best for
// all when none was.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "codecs/h264/simd_kernel_sets.h"
#include "codecs/jpeg/jpeg_kernels.h"
#include "codecs/kernels/cpu_features.h"
#include "codecs/kernels/kernel_mask.h"
#include "codecs/mpeg4/mp4_kernels.h"
#include "codecs/pixels/pixel_kernels.h"

namespace {

struct Seen {
  const void* pixels = nullptr;
  const void* jpeg = nullptr;
  const void* mp4 = nullptr;
  const void* avc = nullptr;
  bool limited = false;
};

TEST(KernelChoiceConcurrency, FirstUsesRacingAMaskAllSeeOneChoice) {
  constexpr int kThreads = 8;
  std::vector<Seen> seen(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      Seen& s = seen[size_t(t)];
      if (t % 2 == 0) s.limited = codecs::LimitKernelFeatures(0);
      s.pixels = &pixel_kernels::Active();
      s.jpeg = &jpeg::kernels::Active();
      s.mp4 = &Mp4SelectedKernels();
      s.avc = &avc::KernelSets().Chosen();
    });
  }
  for (std::thread& thread : threads) thread.join();

  bool limited = false;
  for (const Seen& s : seen) limited = limited || s.limited;
  const uint32_t features = limited ? 0 : codecs::ProcessorFeatures();
  EXPECT_EQ(codecs::KernelFeatures(), features);
  for (const Seen& s : seen) {
    EXPECT_EQ(s.pixels, &pixel_kernels::Sets().BestFor(features));
    EXPECT_EQ(s.jpeg, &jpeg::kernels::Sets().BestFor(features));
    EXPECT_EQ(s.mp4, &Mp4KernelSets().BestFor(features));
    EXPECT_EQ(s.avc, &avc::KernelSets().BestFor(features));
  }
}

}  // namespace
