// The fast IDCT's constants, pinned: blocks of one coefficient, whose
// samples follow in closed form from the Arai-Agui-Nakajima flow graph and
// the fixed-point rules of the fast decoder (a product keeps the high half
// of 4x times a constant with 14 fraction bits, rounded down; a sample is
// (x >> 5) + 128, saturated).  A tolerance against a true IDCT cannot see a
// constant one unit off (1/16384 moves a sample by a sixteenth of a level
// at most), so the expectation is exact; one lone coefficient keeps every
// sum free of the addition order the flow graph leaves open.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "codecs/jpeg/jpeg_kernels.h"
#include "codecs/kernels/cpu_features.h"

namespace {

// x × c / 2^14 as the 16-bit lanes take it; |x| stays below 2^13 here.
int Product(int x, int c) { return static_cast<int>(std::floor(4.0 * x * c / 65536)); }

constexpr int kSqrt2 = 23170;               // √2
constexpr int k1_847759 = 30273;            // 1.847759
constexpr int kMinus0_765367 = -12540;      // 1.082392 − 1.847759 = 1.847759 − 2.613126
constexpr int kMinus1_847759Fast = -30353;  // what the fast decoder takes for −1.847759

// The eight outputs of the 1-D inverse transform of a vector whose only
// non-zero input is `a` at position k.
std::array<int, 8> LoneInput(int k, int a) {
  const int in[8] = {k == 0 ? a : 0, k == 1 ? a : 0, k == 2 ? a : 0, k == 3 ? a : 0,
                     k == 4 ? a : 0, k == 5 ? a : 0, k == 6 ? a : 0, k == 7 ? a : 0};
  // Even half.
  const int t10 = in[0] + in[4], t11 = in[0] - in[4], t13 = in[2] + in[6];
  const int t12 = Product(in[2] - in[6], kSqrt2) - t13;
  const int e0 = t10 + t13, e3 = t10 - t13, e1 = t11 + t12, e2 = t11 - t12;
  // Odd half: z5 = (z10 + z12) × 1.847759 is folded into the two rotations.
  const int z13 = in[5] + in[3], z10 = in[5] - in[3], z11 = in[1] + in[7], z12 = in[1] - in[7];
  const int o7 = z11 + z13;
  const int o11 = Product(z11 - z13, kSqrt2);
  const int o10 = Product(z12, kMinus0_765367) + Product(z10, kMinus1_847759Fast);
  const int o12 = Product(z10, kMinus0_765367) + Product(z12, k1_847759);
  const int o6 = o12 - o7, o5 = o11 - o6, o4 = o10 + o5;
  return {e0 + o7, e1 + o6, e2 + o5, e3 - o4, e3 + o4, e2 - o5, e1 - o6, e0 - o7};
}

uint8_t Sample(int value) { return static_cast<uint8_t>(std::clamp((value >> 5) + 128, 0, 255)); }

TEST(JpegFastIdct, LoneCoefficientsGiveTheFlowGraphsSamples) {
  uint16_t ones[64];
  std::fill(std::begin(ones), std::end(ones), uint16_t{1});
  for (const auto& candidate : jpeg::kernels::Sets().All()) {
    if (!jpeg::kernels::Sets().Runs(candidate, codecs::ProcessorFeatures())) continue;
    SCOPED_TRACE(std::string("kernel set ") + candidate.name);
    int mismatches = 0;
    std::string first;
    for (int k = 0; k < 8; ++k) {
      // Down a column (vertical frequency k): pass 1 makes the rows, each
      // row then holds only its DC.  Along a row: pass 1 passes the
      // coefficient down its column, pass 2 transforms every row alike.
      for (const bool vertical : {true, false}) {
        for (int a = -4095; a <= 4095; ++a) {
          int16_t coefficients[64] = {};
          coefficients[vertical ? 8 * k : k] = static_cast<int16_t>(a);
          uint8_t out[64];
          candidate.table->fastIdct(coefficients, ones, out, 8);
          const std::array<int, 8> line = LoneInput(k, a);
          for (int i = 0; i < 64; ++i) {
            const uint8_t expected = Sample(line[vertical ? i / 8 : i % 8]);
            if (out[i] == expected) continue;
            if (mismatches++ == 0) {
              first = "coefficient " + std::to_string(a) + " at " + (vertical ? "vertical" : "horizontal") +
                      " frequency " + std::to_string(k) + ": sample " + std::to_string(i) + " is " +
                      std::to_string(out[i]) + ", expected " + std::to_string(expected);
            }
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << "first: " << first;
  }
}

}  // namespace
