#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/kernels/cpu_features.h"
#include "codecs/pixels/pixel_kernels.h"
#include "codecs/pixels/yuv_converters.h"
#include "codecs/pixels/yuv_scalar.h"

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

// The converters' colour arithmetic, restated here from its definition:
// y = Y - 16 (0 below 16), u = U - 128, v = V - 128; each term is
// floor(value x coefficient / 8192); green adds its two chroma terms; each
// colour is clamped to 0..255.  (The 16-bit saturation of the sums never
// acts: every sum lies within -300..600.)
int FloorDiv(int a, int b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
int Term(int value, int coefficient) { return FloorDiv(value * coefficient, 8192); }
int Clamp(int x) { return std::clamp(x, 0, 255); }

Rgb ExactColour(int Y, int U, int V) {
  const int t = Term(std::max(Y - 16, 0), 9576);
  const int u = U - 128, v = V - 128;
  return {Clamp(t + Term(v, 13123)), Clamp(t + (Term(u, -3218) + Term(v, -6686))), Clamp(t + Term(u, 16591))};
}

// Every Y value with each U, V pair of a grid that steps by 5 and takes in
// the neutral chroma and both ends: each chroma sample's 2 x 2 pixels carry
// four Y values, and 64 chroma samples run through all 256.  486 pixels per
// row: whole vector steps and a remainder for every kernel set.
Planes GridPlanes() {
  std::vector<int> chroma;
  for (int c = 0; c <= 255; c += 5) chroma.push_back(c);
  chroma.insert(chroma.end(), {127, 128, 129});
  constexpr int kWidth = 486, kBlocksPerRow = kWidth / 2;
  const int blocks = int(chroma.size() * chroma.size()) * 64;
  const int blockRows = (blocks + kBlocksPerRow - 1) / kBlocksPerRow;
  Planes p = UniformPlanes(kWidth, 2 * blockRows, 0, 0, 0);
  for (int block = 0; block < blockRows * kBlocksPerRow; ++block) {
    const int i = block % blocks;  // the last row starts the grid again
    const int pair = i / 64, luma = 4 * (i % 64);
    const int bx = block % kBlocksPerRow, by = block / kBlocksPerRow;
    p.u[by * kBlocksPerRow + bx] = uint8_t(chroma[pair / chroma.size()]);
    p.v[by * kBlocksPerRow + bx] = uint8_t(chroma[pair % chroma.size()]);
    for (int k = 0; k < 4; ++k) p.y[(2 * by + k / 2) * kWidth + 2 * bx + k % 2] = uint8_t(luma + k);
  }
  return p;
}

// The bytes a converter must write for one pixel, from its Y, U and V.
std::vector<uint8_t> ExpectedPixel(const std::string& kind, int x, uint8_t Y, uint8_t U, uint8_t V) {
  const Rgb c = ExactColour(Y, U, V);
  if (kind == "Rgb24") return {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r)};
  if (kind == "Rgb32") return {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 0};
  if (kind == "Rgb565") {
    const unsigned word = ((c.r & 0xF8u) << 8) | ((c.g & 0xFCu) << 3) | (unsigned(c.b) >> 3);
    return {uint8_t(word), uint8_t(word >> 8)};
  }
  const uint8_t chroma = x % 2 == 0 ? U : V;
  return kind == "Yuy2" ? std::vector<uint8_t>{Y, chroma} : std::vector<uint8_t>{chroma, Y};
}

TEST(YuvConverters, EveryConverterMatchesTheExactArithmeticOnAGridOfColours) {
  const Planes p = GridPlanes();
  std::vector<std::pair<std::string, const pixel_kernels::KernelSet*>> sets = {{"public", nullptr}};
  for (const auto& candidate : pixel_kernels::Sets().All())
    if (pixel_kernels::Sets().Runs(candidate, codecs::ProcessorFeatures()))
      sets.push_back({candidate.name, candidate.table});
  for (const Kind& kind : Kinds()) {
    std::vector<uint8_t> expected;  // top-down
    for (int row = 0; row < p.height; ++row) {
      for (int x = 0; x < p.width; ++x) {
        const size_t chroma = size_t(row / 2) * p.chromaWidth() + x / 2;
        const auto bytes = ExpectedPixel(kind.name, x, p.y[size_t(row) * p.width + x], p.u[chroma], p.v[chroma]);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
      }
    }
    for (const auto& [setName, set] : sets) {
      const Converter converter = !set ? kind.fast
                                  : kind.name == "Rgb24"  ? set->rgb24
                                  : kind.name == "Rgb32"  ? set->rgb32
                                  : kind.name == "Rgb565" ? set->rgb565
                                  : kind.name == "Yuy2"   ? set->yuy2
                                                          : set->uyvy;
      for (const int sign : {1, -1}) {
        const Output out = Convert(kind, converter, p, sign * p.height);
        size_t wrong = 0, first = 0;
        for (int row = 0; row < p.height; ++row) {
          const int source = sign > 0 ? row : p.height - 1 - row;
          for (size_t i = 0; i < out.pixelBytes; ++i) {
            if (out.bytes[row * out.rowBytes + i] == expected[source * out.pixelBytes + i]) continue;
            if (wrong++ == 0) first = source * out.pixelBytes + i;
          }
        }
        const size_t pixel = first / kind.bytesPerPixel;
        const int x = int(pixel % p.width), row = int(pixel / p.width);
        const size_t chroma = size_t(row / 2) * p.chromaWidth() + x / 2;
        EXPECT_EQ(wrong, 0u) << kind.name << " (" << setName << (sign > 0 ? ", upright" : ", upside down")
                             << "): first wrong pixel Y " << int(p.y[size_t(row) * p.width + x]) << " U "
                             << int(p.u[chroma]) << " V " << int(p.v[chroma]);
      }
    }
  }
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
