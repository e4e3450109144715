#include "codecs/mpeg4/mp4_idct.h"

#include <algorithm>
#include <cstdint>

namespace {

int16_t Sat16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767)); }
int16_t Adds(int16_t a, int16_t b) { return Sat16(int32_t(a) + b); }
int16_t Subs(int16_t a, int16_t b) { return Sat16(int32_t(a) - b); }
// The high half of the signed 16 x 16 product.
int16_t MulHi(int16_t a, int16_t b) { return static_cast<int16_t>((int32_t(a) * b) >> 16); }

// Cosine weights of one row: round(16384 x Sr x Sk) with Sk = sqrt(2) cos(k pi / 16),
// S0 = 1, for the row scales 1 (rows 0, 4), S1 (1, 7), S2 (2, 6), S3 (3, 5).
struct RowWeights {
  int32_t c0, c1, c2, c3, c4, c5, c6, c7;
};
constexpr RowWeights kW04{16384, 22725, 21407, 19266, 16384, 12873, 8867, 4520};
constexpr RowWeights kW17{22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270};
constexpr RowWeights kW26{21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906};
constexpr RowWeights kW35{19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315};
constexpr const RowWeights* kRowWeights[8] = {&kW04, &kW17, &kW26, &kW35, &kW04, &kW35, &kW26, &kW17};
// Row 0's rounder also carries the column pass's final rounding (32 << 11).
constexpr int32_t kRowRounder[8] = {65536, 3597, 2260, 1203, 0, 120, 512, 512};

// The row sums are 32-bit words that wrap, as packed multiply-add leaves
// them; only coefficients far outside the dequantiser's range get there.
int32_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

void RowPass(int16_t* x, int row) {
  const RowWeights& w = *kRowWeights[row];
  const int64_t x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3], x4 = x[4], x5 = x[5], x6 = x[6], x7 = x[7];
  const int64_t r = kRowRounder[row];
  const int64_t a0 = w.c0 * x0 + w.c2 * x2 + w.c4 * x4 + w.c6 * x6 + r;
  const int64_t a1 = w.c0 * x0 + w.c6 * x2 - w.c4 * x4 - w.c2 * x6 + r;
  const int64_t a2 = w.c0 * x0 - w.c6 * x2 - w.c4 * x4 + w.c2 * x6 + r;
  const int64_t a3 = w.c0 * x0 - w.c2 * x2 + w.c4 * x4 - w.c6 * x6 + r;
  const int64_t b0 = w.c1 * x1 + w.c3 * x3 + w.c5 * x5 + w.c7 * x7;
  const int64_t b1 = w.c3 * x1 - w.c7 * x3 - w.c1 * x5 - w.c5 * x7;
  const int64_t b2 = w.c5 * x1 - w.c1 * x3 + w.c7 * x5 + w.c3 * x7;
  const int64_t b3 = w.c7 * x1 - w.c5 * x3 + w.c3 * x5 - w.c1 * x7;
  x[0] = Sat16(Wrap32(a0 + b0) >> 11);
  x[7] = Sat16(Wrap32(a0 - b0) >> 11);
  x[1] = Sat16(Wrap32(a1 + b1) >> 11);
  x[6] = Sat16(Wrap32(a1 - b1) >> 11);
  x[2] = Sat16(Wrap32(a2 + b2) >> 11);
  x[5] = Sat16(Wrap32(a2 - b2) >> 11);
  x[3] = Sat16(Wrap32(a3 + b3) >> 11);
  x[4] = Sat16(Wrap32(a3 - b3) >> 11);
}

constexpr int16_t kTan1 = 13036;    // tan(pi/16) x 65536
constexpr int16_t kTan2 = 27146;    // tan(2 pi/16) x 65536
constexpr int16_t kTan3m1 = -21746; // (tan(3 pi/16) - 1) x 65536
constexpr int16_t kCos4 = 23170;    // cos(pi/4) x 32768

void ColumnPass(int16_t* b, int col) {
  auto at = [&](int row) -> int16_t& { return b[row * 8 + col]; };
  const int16_t x0 = at(0), x1 = at(1), x2 = at(2), x3 = at(3);
  const int16_t x4 = at(4), x5 = at(5), x6 = at(6), x7 = at(7);

  const int16_t tp17 = Adds(x1, MulHi(x7, kTan1));
  const int16_t tm17 = Subs(MulHi(x1, kTan1), x7);
  const int16_t tp35 = Adds(Adds(MulHi(x5, kTan3m1), x5), x3);
  const int16_t tm35 = Subs(Adds(MulHi(x3, kTan3m1), x3), x5);
  const int16_t b0 = Adds(tp17, tp35);
  const int16_t b3 = Subs(tm17, tm35);
  const int16_t t1 = Subs(tp17, tp35);
  const int16_t t2 = Adds(tm17, tm35);
  const int16_t h1 = MulHi(Adds(t1, t2), kCos4);
  const int16_t h2 = MulHi(Subs(t1, t2), kCos4);
  const int16_t b1 = Adds(h1, h1);
  const int16_t b2 = Adds(h2, h2);

  const int16_t tp26 = Adds(x2, MulHi(x6, kTan2));
  const int16_t tm26 = Subs(MulHi(x2, kTan2), x6);
  const int16_t tp04 = Adds(x0, x4);
  const int16_t tm04 = Subs(x0, x4);
  const int16_t a0 = Adds(tp04, tp26);
  const int16_t a3 = Subs(tp04, tp26);
  const int16_t a1 = Adds(tm04, tm26);
  const int16_t a2 = Subs(tm04, tm26);

  at(0) = static_cast<int16_t>(Adds(a0, b0) >> 6);
  at(7) = static_cast<int16_t>(Subs(a0, b0) >> 6);
  at(1) = static_cast<int16_t>(Adds(a1, b1) >> 6);
  at(6) = static_cast<int16_t>(Subs(a1, b1) >> 6);
  at(2) = static_cast<int16_t>(Adds(a2, b2) >> 6);
  at(5) = static_cast<int16_t>(Subs(a2, b2) >> 6);
  at(3) = static_cast<int16_t>(Adds(a3, b3) >> 6);
  at(4) = static_cast<int16_t>(Subs(a3, b3) >> 6);
}

}  // namespace

void Mp4Idct(int16_t block[64]) {
  // Every row goes through its pass, zero rows too: rows 1 and 2 then carry
  // their rounder's 1 into the columns.
  for (int row = 0; row < 8; ++row) RowPass(block + row * 8, row);
  for (int col = 0; col < 8; ++col) ColumnPass(block, col);
}
