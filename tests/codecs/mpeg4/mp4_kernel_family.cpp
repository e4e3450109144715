#include "tests/codecs/mpeg4/mp4_kernel_family.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "codecs/mpeg4/mp4_kernels.h"

namespace {

// Each check covers every range, block position and stride the decoder uses.

int16_t Coefficient(std::mt19937& random, int kind) {
  switch (kind) {
    case 0: return random() % 6 == 0 ? int16_t(int(random() % 4096) - 2048) : 0;
    case 1: return int16_t(int(random() % 600) - 300);
    default: return int16_t(random());
  }
}

void CompareIdct(const Mp4Kernels& set, std::mt19937& random) {
  for (int n = 0; n < 300000; ++n) {
    alignas(16) int16_t a[64], b[64];
    for (auto& c : a) c = Coefficient(random, n % 3);
    std::memcpy(b, a, sizeof a);
    Mp4PlainKernels().idct(a);
    set.idct(b);
    ASSERT_EQ(std::memcmp(a, b, sizeof a), 0) << "idct block " << n;
  }
}

void ComparePutAndAdd(const Mp4Kernels& set, std::mt19937& random) {
  for (int n = 0; n < 20000; ++n) {
    alignas(16) int16_t block[64];
    for (auto& c : block) c = Coefficient(random, n % 3);
    const ptrdiff_t stride = 8 + ptrdiff_t(random() % 40);
    std::vector<uint8_t> a(size_t(stride) * 8), b;
    for (auto& p : a) p = uint8_t(random());
    b = a;
    Mp4PlainKernels().addBlock(block, a.data(), stride);
    set.addBlock(block, b.data(), stride);
    ASSERT_EQ(a, b) << "add " << n;
    Mp4PlainKernels().putBlock(block, a.data(), stride);
    set.putBlock(block, b.data(), stride);
    ASSERT_EQ(a, b) << "put " << n;
  }
}

// Samples of 0 and 255 often: the no-rounding averages treat 0 specially.
uint8_t Sample(std::mt19937& random) {
  return random() % 4 == 0 ? uint8_t(random() % 2 ? 0 : 255) : uint8_t(random());
}

void CompareHalfSamplePrediction(const Mp4Kernels& set, std::mt19937& random) {
  for (int n = 0; n < 40000; ++n) {
    const int w = n % 2 ? 16 : 8;
    const int h = (n / 2) % 3 == 0 ? 16 : (n / 2) % 3 == 1 ? 8 : 4;
    const int halfX = (n >> 3) & 1, halfY = (n >> 4) & 1, rounding = (n >> 5) & 1;
    const ptrdiff_t srcStride = 17 + ptrdiff_t(random() % 50), dstStride = 16 + ptrdiff_t(random() % 50);
    std::vector<uint8_t> src(size_t(srcStride) * size_t(h + 1) + 16);
    for (auto& p : src) p = Sample(random);
    std::vector<uint8_t> a(size_t(dstStride) * size_t(h), 7), b = a;
    Mp4PlainKernels().predictHalf(a.data(), dstStride, src.data(), srcStride, w, h, halfX, halfY, rounding);
    set.predictHalf(b.data(), dstStride, src.data(), srcStride, w, h, halfX, halfY, rounding);
    ASSERT_EQ(a, b) << "half w " << w << " h " << h << " half " << halfX << halfY << " r " << rounding;
  }
}

void CompareQuarterSamplePrediction(const Mp4Kernels& set, std::mt19937& random) {
  const std::pair<int, int> sizes[] = {{16, 16}, {8, 8}, {16, 8}};
  for (int n = 0; n < 30000; ++n) {
    const auto [w, h] = sizes[n % 3];
    const int fracX = (n >> 2) & 3, fracY = (n >> 4) & 3, rounding = (n >> 6) & 1;
    const ptrdiff_t srcStride = 17 + ptrdiff_t(random() % 50), dstStride = 16 + ptrdiff_t(random() % 50);
    std::vector<uint8_t> src(size_t(srcStride) * size_t(h + 1) + 16);
    for (auto& p : src) p = Sample(random);
    std::vector<uint8_t> a(size_t(dstStride) * size_t(h), 7), b = a;
    Mp4PlainKernels().predictQuarter(a.data(), dstStride, src.data(), srcStride, w, h, fracX, fracY, rounding);
    set.predictQuarter(b.data(), dstStride, src.data(), srcStride, w, h, fracX, fracY, rounding);
    ASSERT_EQ(a, b) << "quarter " << w << "x" << h << " frac " << fracX << fracY << " r " << rounding;
  }
}

void CompareEveryKernel(const Mp4Kernels& set, std::mt19937& random) {
  for (auto compare : {&CompareIdct, &ComparePutAndAdd, &CompareHalfSamplePrediction, &CompareQuarterSamplePrediction}) {
    compare(set, random);
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace

kernel_check::Family Mp4KernelFamily() {
  return kernel_check::FamilyOf<Mp4Kernels>("MPEG-4 decoder kernels", Mp4KernelSets(), CompareEveryKernel);
}
