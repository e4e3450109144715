#include "codecs/jpeg/jpeg_idct.h"

#include <algorithm>

namespace jpeg {

const uint16_t kAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247,
};

namespace {

constexpr int kConstBits = 13;
constexpr int64_t k0_298631336 = 2446;
constexpr int64_t k0_390180644 = 3196;
constexpr int64_t k0_541196100 = 4433;
constexpr int64_t k0_765366865 = 6270;
constexpr int64_t k0_899976223 = 7373;
constexpr int64_t k1_175875602 = 9633;
constexpr int64_t k1_501321110 = 12299;
constexpr int64_t k1_847759065 = 15137;
constexpr int64_t k1_961570560 = 16069;
constexpr int64_t k2_053119869 = 16819;
constexpr int64_t k2_562915447 = 20995;
constexpr int64_t k3_072711026 = 25172;

// One 8-point LLM inverse transform of in[0], in[step] ... into out[0..7],
// before the final descaling.  64-bit sums: hostile coefficients must not
// overflow.
void Llm(const int16_t* in, ptrdiff_t step, int64_t out[8]) {
  const int64_t x0 = in[0], x1 = in[step], x2 = in[2 * step], x3 = in[3 * step];
  const int64_t x4 = in[4 * step], x5 = in[5 * step], x6 = in[6 * step], x7 = in[7 * step];

  const int64_t z1 = (x2 + x6) * k0_541196100;
  const int64_t even2 = z1 - x6 * k1_847759065;
  const int64_t even3 = z1 + x2 * k0_765366865;
  const int64_t even0 = (x0 + x4) * (int64_t{1} << kConstBits);
  const int64_t even1 = (x0 - x4) * (int64_t{1} << kConstBits);
  const int64_t t10 = even0 + even3, t13 = even0 - even3, t11 = even1 + even2, t12 = even1 - even2;

  const int64_t s1 = x7 + x1, s2 = x5 + x3, s3 = x7 + x3, s4 = x5 + x1;
  const int64_t s5 = (s3 + s4) * k1_175875602;
  const int64_t p1 = -s1 * k0_899976223, p2 = -s2 * k2_562915447;
  const int64_t p3 = -s3 * k1_961570560 + s5, p4 = -s4 * k0_390180644 + s5;
  const int64_t o0 = x7 * k0_298631336 + p1 + p3;
  const int64_t o1 = x5 * k2_053119869 + p2 + p4;
  const int64_t o2 = x3 * k3_072711026 + p2 + p3;
  const int64_t o3 = x1 * k1_501321110 + p1 + p4;

  out[0] = t10 + o3;
  out[7] = t10 - o3;
  out[1] = t11 + o2;
  out[6] = t11 - o2;
  out[2] = t12 + o1;
  out[5] = t12 - o1;
  out[3] = t13 + o0;
  out[4] = t13 - o0;
}

uint8_t Clamp(int64_t value) { return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255)); }

}  // namespace

void AccurateIdct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, ptrdiff_t stride) {
  int16_t block[64];
  for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(coefficients[i] * static_cast<int32_t>(quant[i]));

  // Rows, kept to 16 bits with two fraction bits.
  for (int row = 0; row < 8; ++row) {
    int16_t* line = block + row * 8;
    if ((line[1] | line[2] | line[3] | line[4] | line[5] | line[6] | line[7]) == 0) {
      const int16_t dc = static_cast<int16_t>(line[0] * 4);
      std::fill(line, line + 8, dc);
      continue;
    }
    int64_t sums[8];
    Llm(line, 1, sums);
    for (int i = 0; i < 8; ++i) line[i] = static_cast<int16_t>((sums[i] + 1024) >> 11);
  }
  // Columns, to samples.
  for (int column = 0; column < 8; ++column) {
    const int16_t* line = block + column;
    if ((line[8] | line[16] | line[24] | line[32] | line[40] | line[48] | line[56]) == 0) {
      const uint8_t flat = Clamp(((line[0] + 16) >> 5) + 128);
      for (int i = 0; i < 8; ++i) out[i * stride + column] = flat;
      continue;
    }
    int64_t sums[8];
    Llm(line, 8, sums);
    for (int i = 0; i < 8; ++i) out[i * stride + column] = Clamp(((sums[i] + 131072) >> 18) + 128);
  }
}

}  // namespace jpeg
