#include "tests/codecs/pixels/pixel_kernel_family.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/pixels/pixel_kernels.h"

namespace {

using pixel_kernels::KernelSet;

struct ConverterKind {
  const char* name;
  pixel_kernels::Converter KernelSet::*kernel;
  int bytesPerPixel;
  bool strideInPixels;
};

constexpr ConverterKind kConverters[] = {
    {"YuvToRgb24", &KernelSet::rgb24, 3, true},  {"YuvToRgb32", &KernelSet::rgb32, 4, true},
    {"YuvToRgb565", &KernelSet::rgb565, 2, true}, {"YuvToYuy2", &KernelSet::yuy2, 2, false},
    {"YuvToUyvy", &KernelSet::uyvy, 2, false},
};

constexpr uint8_t kGuard = 0xA5;

std::vector<uint8_t> RandomBytes(size_t size, std::mt19937& random) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// Planes that end right after their last sample, so that AddressSanitizer
// sees a read past them.
struct Planes {
  int width, rows, yStride, uvStride;
  std::vector<uint8_t> y, u, v;
};

Planes RandomPlanes(int width, int rows, int yPadding, int uvPadding, std::mt19937& random) {
  const int chromaWidth = (width + 1) / 2, chromaRows = (rows + 1) / 2;
  Planes p{width, rows, width + yPadding, chromaWidth + uvPadding, {}, {}, {}};
  p.y = RandomBytes(size_t(p.yStride) * (rows - 1) + width, random);
  p.u = RandomBytes(size_t(p.uvStride) * (chromaRows - 1) + chromaWidth, random);
  p.v = RandomBytes(p.u.size(), random);
  return p;
}

// One conversion into a guarded buffer that starts `offset` bytes into its
// allocation (for the alignment of the destination) and ends right after
// the last row's pixels.
struct Case {
  const ConverterKind* kind;
  int height;         // negative: upside down
  int dstPadding;     // pixels for the RGB converters, bytes for the 4:2:2 ones
  size_t offset;
};

std::vector<uint8_t> Convert(const KernelSet& set, const Case& c, const Planes& p) {
  const size_t pixelBytes = size_t(p.width) * c.kind->bytesPerPixel;
  const size_t rowBytes = c.kind->strideInPixels ? size_t(p.width + c.dstPadding) * c.kind->bytesPerPixel
                                                 : pixelBytes + c.dstPadding;
  std::vector<uint8_t> out(c.offset + rowBytes * (p.rows - 1) + pixelBytes, kGuard);
  const int dstStride = c.kind->strideInPixels ? p.width + c.dstPadding : int(rowBytes);
  (set.*c.kind->kernel)(p.y.data(), p.yStride, p.u.data(), p.v.data(), p.uvStride, out.data() + c.offset, p.width,
                        c.height, dstStride);
  // Nothing outside the rows' pixels is written: the gaps between rows and
  // the bytes before the first keep their guard.
  auto guarded = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      if (out[i] != kGuard) return false;
    return true;
  };
  bool untouched = guarded(0, c.offset);
  for (int row = 0; untouched && row + 1 < p.rows; ++row) {
    const size_t gap = c.offset + row * rowBytes + pixelBytes;
    untouched = guarded(gap, gap + rowBytes - pixelBytes);
  }
  EXPECT_TRUE(untouched) << c.kind->name << " " << p.width << "x" << c.height
                         << " wrote outside the rows";
  return out;
}

void CompareCase(const KernelSet& set, const Case& c, const Planes& p) {
  const std::vector<uint8_t> ours = Convert(set, c, p);
  const std::vector<uint8_t> plain = Convert(pixel_kernels::Plain(), c, p);
  if (ours == plain) return;
  size_t first = 0;
  while (ours[first] == plain[first]) ++first;
  FAIL() << c.kind->name << " " << p.width << "x" << c.height << " (strides " << p.yStride << ", " << p.uvStride
         << ", destination padding " << c.dstPadding << ", offset " << c.offset << "): first difference at byte "
         << first << ", " << int(ours[first]) << " against " << int(plain[first]);
}

// Every width from 1 to 1928 (any vector width plus every tail length), odd
// and even heights in both orientations, random strides and destination
// alignments.
void CompareSmallPictures(const KernelSet& set, std::mt19937& random) {
  for (int width = 1; width <= 1928; ++width) {
    for (int height : {1, 2, 3, -3, -4, 5, -6}) {
      const int rows = std::abs(height);
      const Planes p = RandomPlanes(width, rows, int(random() % 48), int(random() % 24), random);
      for (const ConverterKind& kind : kConverters) {
        CompareCase(set, {&kind, height, int(random() % 9), random() % 64}, p);
        if (testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

// Pictures of a few megabytes, which kernels may write around the caches,
// with destinations aligned and not, and strides that keep a row pair's
// alignment and strides that do not.
void CompareLargePictures(const KernelSet& set, std::mt19937& random) {
  struct Large {
    int width, height, dstPadding;
    size_t offset;
  };
  const Large larges[] = {
      {1920, 1080, 0, 0},  {1920, -1080, 0, 32}, {1918, 1081, 10, 8},  {1925, -545, 0, 4},
      {1926, 544, 2, 16},  {333, 2001, 3, 3},    {1000, -700, 24, 24}, {2048, 300, 0, 12},
  };
  for (const Large& large : larges) {
    const int rows = std::abs(large.height);
    const Planes p = RandomPlanes(large.width, rows, int(random() % 40), int(random() % 20), random);
    for (const ConverterKind& kind : kConverters) {
      CompareCase(set, {&kind, large.height, large.dstPadding, large.offset}, p);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

// The renderer's row copy, for row lengths around every step size and
// unaligned rows.
void CompareRowCopies(const KernelSet& set, std::mt19937& random) {
  for (size_t pixels = 0; pixels <= 300; ++pixels) {
    const size_t fromOffset = random() % 32, toOffset = random() % 32;
    const uint32_t bits = static_cast<uint32_t>(random());
    const std::vector<uint8_t> from = RandomBytes(fromOffset + 4 * pixels, random);
    std::vector<uint8_t> ours(toOffset + 4 * pixels + 8, kGuard), plain = ours;
    set.rgb32RowSettingBits(from.data() + fromOffset, ours.data() + toOffset, pixels, bits);
    pixel_kernels::Plain().rgb32RowSettingBits(from.data() + fromOffset, plain.data() + toOffset, pixels, bits);
    ASSERT_EQ(ours, plain) << "row copy of " << pixels << " pixels, bits " << bits;
  }
}

}  // namespace

kernel_check::Family PixelKernelFamily() {
  return kernel_check::FamilyOf<KernelSet>("YUV converters and 32-bit row copy", pixel_kernels::Sets(),
                                           [](const KernelSet& set, std::mt19937& random) {
                                             CompareSmallPictures(set, random);
                                             if (testing::Test::HasFatalFailure()) return;
                                             CompareLargePictures(set, random);
                                             if (testing::Test::HasFatalFailure()) return;
                                             CompareRowCopies(set, random);
                                           });
}
