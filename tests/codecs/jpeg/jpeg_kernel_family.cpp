#include "tests/codecs/jpeg/jpeg_kernel_family.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codecs/jpeg/jpeg_kernels.h"

namespace {

using jpeg::JpegKernelSet;

// Coefficients and tables from small to the extremes of 16 bits, so that
// every wrap-around and saturation of the 16-bit lanes is taken.
void CompareIdct(const JpegKernelSet& set, std::mt19937& random) {
  const JpegKernelSet& plain = jpeg::kernels::Plain();
  const int ranges[] = {0, 4, 64, 1024, 32768};
  for (int round = 0; round < 4000; ++round) {
    const int range = ranges[round % 5];
    int16_t coefficients[64] = {};
    uint16_t table[64];
    for (int i = 0; i < 64; ++i) {
      const bool extreme = random() % 16 == 0;
      coefficients[i] = extreme ? static_cast<int16_t>(random() % 2 ? 32767 : -32768)
                                : static_cast<int16_t>(range == 0 ? 0 : static_cast<int>(random() % (2 * range)) - range);
      if (i > 0 && round % 3 == 0 && random() % 4 != 0) coefficients[i] = 0;  // DC-heavy blocks too
      table[i] = static_cast<uint16_t>(round % 7 == 0 ? random() : 1 + random() % 1500);
    }
    // Outputs side by side in a strided area, guarded after the last row.
    const ptrdiff_t stride = 8 + static_cast<ptrdiff_t>(random() % 24);
    std::vector<uint8_t> expected(static_cast<size_t>(stride) * 8, 0x5A), actual(expected);
    plain.fastIdct(coefficients, table, expected.data(), stride);
    set.fastIdct(coefficients, table, actual.data(), stride);
    ASSERT_EQ(expected, actual) << "IDCT round " << round;
  }
}

void CompareConversion(const JpegKernelSet& set, std::mt19937& random) {
  const JpegKernelSet& plain = jpeg::kernels::Plain();
  for (int shift : {0, 1}) {
    for (int width = 1; width <= 70; ++width) {
      const size_t chroma = static_cast<size_t>((width + shift) >> shift);
      std::vector<uint8_t> y(static_cast<size_t>(width)), cb(chroma), cr(chroma);
      for (auto* plane : {&y, &cb, &cr}) {
        for (uint8_t& value : *plane) value = static_cast<uint8_t>(random());
      }
      if (width == 70) {  // every chroma extreme against every luma extreme
        for (size_t i = 0; i < chroma; ++i) cb[i] = (i & 1) ? 0 : 255, cr[i] = (i & 2) ? 255 : 0;
      }
      std::vector<uint8_t> expected(static_cast<size_t>(width) * 4, 0x5A), actual(expected);
      plain.convertRow(y.data(), cb.data(), cr.data(), width, shift, expected.data());
      set.convertRow(y.data(), cb.data(), cr.data(), width, shift, actual.data());
      ASSERT_EQ(expected, actual) << "conversion, width " << width << ", chroma shift " << shift;
    }
  }
}

void CompareStore(const JpegKernelSet& set, std::mt19937& random) {
  const JpegKernelSet& plain = jpeg::kernels::Plain();
  for (int width = 1; width <= 37; ++width) {
    std::vector<uint8_t> rgbx(static_cast<size_t>(width) * 4), expected(rgbx.size());
    for (uint8_t& value : rgbx) value = static_cast<uint8_t>(random());
    for (uint8_t& value : expected) value = static_cast<uint8_t>(random());
    std::vector<uint8_t> actual(expected);
    plain.storeBgr(rgbx.data(), expected.data(), width);
    set.storeBgr(rgbx.data(), actual.data(), width);
    ASSERT_EQ(expected, actual) << "store, width " << width;
  }
}

}  // namespace

kernel_check::Family JpegKernelFamily() {
  return kernel_check::FamilyOf<JpegKernelSet>("JPEG kernels", jpeg::kernels::Sets(),
                                               [](const JpegKernelSet& set, std::mt19937& random) {
                                                 CompareIdct(set, random);
                                                 if (::testing::Test::HasFatalFailure()) return;
                                                 CompareConversion(set, random);
                                                 if (::testing::Test::HasFatalFailure()) return;
                                                 CompareStore(set, random);
                                               });
}
