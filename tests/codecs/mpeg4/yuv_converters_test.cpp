#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/mpeg4/yuv_converters.h"
#include "codecs/mpeg4/yuv_scalar.h"

namespace {

using Converter = void (*)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);

struct Kind {
  std::string name;
  Converter fast, scalar;
  int bytesPerPixel;
  bool strideInPixels;
};

const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      {"Rgb24", YuvToRgb24, yuv_scalar::YuvToRgb24, 3, true},
      {"Rgb32", YuvToRgb32, yuv_scalar::YuvToRgb32, 4, true},
      {"Rgb565", YuvToRgb565, yuv_scalar::YuvToRgb565, 2, true},
      {"Yuy2", YuvToYuy2, yuv_scalar::YuvToYuy2, 2, false},
      {"Uyvy", YuvToUyvy, yuv_scalar::YuvToUyvy, 2, false},
  };
  return kinds;
}

// A 4:2:0 picture in planes of exactly its own size, so that AddressSanitizer
// sees any read past them.
struct Planes {
  int width, height;
  std::vector<uint8_t> y, u, v;
  int chromaWidth() const { return (width + 1) / 2; }
};

Planes RandomPlanes(int width, int height, std::mt19937& random) {
  Planes p{width, height, {}, {}, {}};
  const size_t chroma = size_t(p.chromaWidth()) * ((height + 1) / 2);
  p.y.resize(size_t(width) * height);
  p.u.resize(chroma);
  p.v.resize(chroma);
  for (auto* plane : {&p.y, &p.u, &p.v})
    for (auto& b : *plane) b = static_cast<uint8_t>(random());
  return p;
}

Planes UniformPlanes(int width, int height, uint8_t Y, uint8_t U, uint8_t V) {
  Planes p{width, height, {}, {}, {}};
  const size_t chroma = size_t(p.chromaWidth()) * ((height + 1) / 2);
  p.y.assign(size_t(width) * height, Y);
  p.u.assign(chroma, U);
  p.v.assign(chroma, V);
  return p;
}

constexpr uint8_t kGuard = 0xA5;

// Destination rows `padding` pixels wider than the picture; the buffer ends
// right after the last row's pixels.
struct Output {
  std::vector<uint8_t> bytes;
  size_t rowBytes, pixelBytes;
};

Output Convert(const Kind& kind, Converter converter, const Planes& p, int height, int padding = 0) {
  const int rows = std::abs(height);
  const int stridePixels = p.width + padding;
  Output out{{}, size_t(stridePixels) * kind.bytesPerPixel, size_t(p.width) * kind.bytesPerPixel};
  out.bytes.assign(out.rowBytes * (rows - 1) + out.pixelBytes, kGuard);
  converter(p.y.data(), p.width, p.u.data(), p.v.data(), p.chromaWidth(), out.bytes.data(), p.width, height,
            kind.strideInPixels ? stridePixels : int(out.rowBytes));
  return out;
}

TEST(YuvConverters, FastEqualsScalarForEveryWidthAndHeightWithinTheRows) {
  std::mt19937 random(1234);
  for (int width = 1; width <= 1928; ++width) {
    for (int height : {1, 2, 3, -3, -4}) {
      const Planes p = RandomPlanes(width, std::abs(height), random);
      for (const Kind& kind : Kinds()) {
        const Output fast = Convert(kind, kind.fast, p, height, 3);
        const Output scalar = Convert(kind, kind.scalar, p, height, 3);
        ASSERT_EQ(fast.bytes, scalar.bytes) << kind.name << " " << width << "x" << height;
        for (size_t i = 0; i < fast.bytes.size(); ++i)
          ASSERT_TRUE(i % fast.rowBytes < fast.pixelBytes || fast.bytes[i] == kGuard)
              << kind.name << " " << width << "x" << height << " wrote byte " << i << " between rows";
      }
    }
  }
}

TEST(YuvConverters, FlippedOutputIsTheUprightRowsReversed) {
  std::mt19937 random(99);
  for (int height : {1, 2, 5, 6}) {
    const Planes p = RandomPlanes(37, height, random);
    for (const Kind& kind : Kinds()) {
      for (Converter converter : {kind.fast, kind.scalar}) {
        const Output upright = Convert(kind, converter, p, height);
        const Output flipped = Convert(kind, converter, p, -height);
        for (int row = 0; row < height; ++row) {
          const auto* a = upright.bytes.data() + row * upright.rowBytes;
          const auto* b = flipped.bytes.data() + (height - 1 - row) * flipped.rowBytes;
          ASSERT_EQ(std::vector<uint8_t>(a, a + upright.pixelBytes),
                    std::vector<uint8_t>(b, b + flipped.pixelBytes))
              << kind.name << " height " << height << " row " << row;
        }
      }
    }
  }
}

struct Rgb {
  int r, g, b;
};

// Through the RGB32 converter (fast and scalar) on a uniform picture.
Rgb ColourOf(uint8_t Y, uint8_t U, uint8_t V, Converter converter = YuvToRgb32) {
  const Planes p = UniformPlanes(32, 2, Y, U, V);
  std::vector<uint8_t> out(32 * 2 * 4, kGuard);
  converter(p.y.data(), 32, p.u.data(), p.v.data(), 16, out.data(), 32, 2, 32);
  const size_t last = out.size() - 4;  // a pixel of the scalar tail for odd widths is covered elsewhere
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4),
            std::vector<uint8_t>(out.begin() + last, out.end()));
  return {out[2], out[1], out[0]};
}

TEST(YuvConverters, ColourAnchors) {
  struct Case {
    uint8_t y, u, v;
    Rgb expected;
  };
  const Case cases[] = {
      {16, 128, 128, {0, 0, 0}},     // black
      {235, 128, 128, {255, 255, 255}},  // white, after saturation
      {0, 128, 128, {0, 0, 0}},      // below 16 counts as 16
      {81, 90, 240, {254, 0, 0}},    // red: 75 + 179, green saturated at 0, not wrapped
  };
  for (const Case& c : cases) {
    for (Converter converter : {YuvToRgb32, yuv_scalar::YuvToRgb32}) {
      const Rgb got = ColourOf(c.y, c.u, c.v, converter);
      EXPECT_EQ(got.r, c.expected.r) << int(c.y) << "," << int(c.u) << "," << int(c.v);
      EXPECT_EQ(got.g, c.expected.g) << int(c.y) << "," << int(c.u) << "," << int(c.v);
      EXPECT_EQ(got.b, c.expected.b) << int(c.y) << "," << int(c.u) << "," << int(c.v);
    }
  }
}

// Against the BT.601 studio-range equations in floating point: each term
// is truncated, so green (three terms) may be up to three levels off.
TEST(YuvConverters, ColoursFollowBt601) {
  auto clamp = [](double x) { return std::fmin(255.0, std::fmax(0.0, x)); };
  for (int Y = 0; Y < 256; Y += 5) {
    for (int U = 0; U < 256; U += 15) {
      for (int V = 0; V < 256; V += 15) {
        const double y = 1.164383 * std::max(Y - 16, 0);
        const double r = clamp(y + 1.601722 * (V - 128));
        const double g = clamp(y - 0.392818 * (U - 128) - 0.816048 * (V - 128));
        const double b = clamp(y + 2.025432 * (U - 128));
        const Rgb got = ColourOf(uint8_t(Y), uint8_t(U), uint8_t(V));
        EXPECT_NEAR(got.r, r, 2.0) << Y << "," << U << "," << V;
        EXPECT_NEAR(got.g, g, 3.0) << Y << "," << U << "," << V;
        EXPECT_NEAR(got.b, b, 2.0) << Y << "," << U << "," << V;
      }
    }
  }
}

TEST(YuvConverters, PackedLayouts) {
  // 2 x 2 pixels: Y 1 2 / 3 4, one chroma sample U 5, V 6.
  const uint8_t y[] = {1, 2, 3, 4}, u[] = {5}, v[] = {6};
  for (const Kind& kind : Kinds()) {
    if (kind.strideInPixels) continue;
    for (Converter converter : {kind.fast, kind.scalar}) {
      std::vector<uint8_t> out(8);
      converter(y, 2, u, v, 1, out.data(), 2, 2, 4);
      const std::vector<uint8_t> expected = kind.name == "Yuy2"
                                                ? std::vector<uint8_t>{1, 5, 2, 6, 3, 5, 4, 6}
                                                : std::vector<uint8_t>{5, 1, 6, 2, 5, 3, 6, 4};
      EXPECT_EQ(out, expected) << kind.name;
    }
  }
  // An odd width ends with the lone pixel's own two bytes.
  const uint8_t y3[] = {1, 2, 3}, u2[] = {5, 7}, v2[] = {6, 8};
  std::vector<uint8_t> out(6);
  YuvToYuy2(y3, 3, u2, v2, 2, out.data(), 3, 1, 6);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 5, 2, 6, 3, 7}));
  YuvToUyvy(y3, 3, u2, v2, 2, out.data(), 3, 1, 6);
  EXPECT_EQ(out, (std::vector<uint8_t>{5, 1, 6, 2, 7, 3}));
}

TEST(YuvConverters, Rgb565AndRgb24CarryTheRgb32Colours) {
  std::mt19937 random(7);
  const Planes p = RandomPlanes(45, 3, random);
  const Output rgb32 = Convert(Kinds()[1], YuvToRgb32, p, 3);
  const Output rgb24 = Convert(Kinds()[0], YuvToRgb24, p, 3);
  const Output rgb565 = Convert(Kinds()[2], YuvToRgb565, p, 3);
  for (size_t i = 0; i < size_t(p.width) * 3; ++i) {
    const uint8_t* q = &rgb32.bytes[4 * i];
    ASSERT_EQ(q[3], 0) << i;
    ASSERT_EQ(std::vector<uint8_t>(q, q + 3), std::vector<uint8_t>(&rgb24.bytes[3 * i], &rgb24.bytes[3 * i + 3]));
    const unsigned word = rgb565.bytes[2 * i] | (rgb565.bytes[2 * i + 1] << 8);
    ASSERT_EQ(word, ((q[2] & 0xF8u) << 8) | ((q[1] & 0xFCu) << 3) | (q[0] >> 3u)) << i;
  }
}

TEST(YuvConverters, NothingToConvertWritesNothing) {
  const Planes p = UniformPlanes(16, 2, 100, 100, 100);
  std::vector<uint8_t> out(16 * 2 * 4, kGuard);
  for (const Kind& kind : Kinds()) {
    kind.fast(p.y.data(), 16, p.u.data(), p.v.data(), 8, out.data(), 0, 2, 16);
    kind.fast(p.y.data(), 16, p.u.data(), p.v.data(), 8, out.data(), 16, 0, 16);
    kind.fast(nullptr, 16, p.u.data(), p.v.data(), 8, out.data(), 16, 2, 16);
  }
  EXPECT_EQ(out, std::vector<uint8_t>(out.size(), kGuard));
}

}  // namespace
