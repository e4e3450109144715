// The plain kernel set: the arithmetic every other set reproduces.
#include <algorithm>
#include <array>

#include "codecs/jpeg/jpeg_colour.h"
#include "codecs/jpeg/jpeg_kernels_plain.h"

namespace jpeg {

namespace {

int16_t Wrap(int32_t value) { return static_cast<int16_t>(value); }

// High half of the product of x × 4 (16 bits, wrapping) with a constant of
// 14 fraction bits: x × c / 2^14, rounded down.
int16_t MulHigh(int16_t x, int16_t c) {
  const int16_t shifted = Wrap(x * 4);
  return Wrap((static_cast<int32_t>(shifted) * c) >> 16);
}

constexpr int16_t kSqrt2 = 23170;           // √2
constexpr int16_t k1_847759 = 30273;        // 1.847759
constexpr int16_t kMinus0_765367 = -12540;  // 1.082392 − 1.847759, and 1.847759 − 2.613126
constexpr int16_t kMinus1_847759 = -30353;  // −1.847759, as the fast decoder has always had it

// One 8-point AAN inverse transform in place on x[0], x[step] ...
void Aan(int16_t* x, int step) {
  const int16_t in0 = x[0], in1 = x[step], in2 = x[2 * step], in3 = x[3 * step];
  const int16_t in4 = x[4 * step], in5 = x[5 * step], in6 = x[6 * step], in7 = x[7 * step];

  const int16_t t10 = Wrap(in0 + in4), t11 = Wrap(in0 - in4);
  const int16_t t13 = Wrap(in2 + in6);
  const int16_t t12 = Wrap(MulHigh(Wrap(in2 - in6), kSqrt2) - t13);
  const int16_t e0 = Wrap(t10 + t13), e3 = Wrap(t10 - t13);
  const int16_t e1 = Wrap(t11 + t12), e2 = Wrap(t11 - t12);

  const int16_t z13 = Wrap(in5 + in3), z10 = Wrap(in5 - in3);
  const int16_t z11 = Wrap(in1 + in7), z12 = Wrap(in1 - in7);
  const int16_t o7 = Wrap(z11 + z13);
  const int16_t o11 = MulHigh(Wrap(z11 - z13), kSqrt2);
  const int16_t o10 = Wrap(MulHigh(z12, kMinus0_765367) + MulHigh(z10, kMinus1_847759));
  const int16_t o12 = Wrap(MulHigh(z10, kMinus0_765367) + MulHigh(z12, k1_847759));
  const int16_t o6 = Wrap(o12 - o7);
  const int16_t o5 = Wrap(o11 - o6);
  const int16_t o4 = Wrap(o10 + o5);

  x[0] = Wrap(e0 + o7);
  x[7 * step] = Wrap(e0 - o7);
  x[step] = Wrap(e1 + o6);
  x[6 * step] = Wrap(e1 - o6);
  x[2 * step] = Wrap(e2 + o5);
  x[5 * step] = Wrap(e2 - o5);
  x[4 * step] = Wrap(e3 + o4);
  x[3 * step] = Wrap(e3 - o4);
}

uint8_t ToSample(int16_t value) {
  const int32_t centred = std::clamp<int32_t>((value >> 5) + 128, -32768, 32767);  // saturating add
  return static_cast<uint8_t>(std::clamp<int32_t>(centred, 0, 255));
}

void FastIdctPlain(const int16_t* coefficients, const uint16_t* prescaled, uint8_t* out, ptrdiff_t stride) {
  int16_t block[64];
  for (int i = 0; i < 64; ++i) block[i] = Wrap(coefficients[i] * static_cast<int32_t>(prescaled[i]));
  for (int column = 0; column < 8; ++column) Aan(block + column, 8);
  for (int row = 0; row < 8; ++row) Aan(block + row * 8, 1);
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) out[row * stride + column] = ToSample(block[row * 8 + column]);
  }
}

uint8_t Clamp255(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

struct ColourTables {
  std::array<int32_t, 256> red{}, blue{}, greenFromCb{}, greenFromCr{};
  ColourTables() {
    for (int32_t v = 0; v < 256; ++v) {
      red[v] = RedOffset(v);
      blue[v] = BlueOffset(v);
      greenFromCb[v] = -kCbToG * (v - 128) + 32768;
      greenFromCr[v] = -kCrToG * (v - 128);
    }
  }
};

void ConvertRowPlain(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int32_t width, int32_t shift,
                     uint8_t* rgbx) {
  static const ColourTables tables;
  for (int32_t x = 0; x < width; ++x) {
    const int32_t luma = y[x];
    const uint8_t blueChroma = cb[x >> shift], redChroma = cr[x >> shift];
    rgbx[4 * x + 0] = Clamp255(luma + tables.red[redChroma]);
    rgbx[4 * x + 1] = Clamp255(luma + ((tables.greenFromCb[blueChroma] + tables.greenFromCr[redChroma]) >> 16));
    rgbx[4 * x + 2] = Clamp255(luma + tables.blue[blueChroma]);
    rgbx[4 * x + 3] = 0;
  }
}

void StoreBgrPlain(const uint8_t* rgbx, uint8_t* bgrx, int32_t width) {
  for (int32_t x = 0; x < width; ++x) {
    bgrx[4 * x + 0] = rgbx[4 * x + 2];
    bgrx[4 * x + 1] = rgbx[4 * x + 1];
    bgrx[4 * x + 2] = rgbx[4 * x + 0];
  }
}

}  // namespace

const JpegKernelSet kPlainJpegKernels = {&FastIdctPlain, &ConvertRowPlain, &StoreBgrPlain};

}  // namespace jpeg
