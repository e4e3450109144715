#pragma once
// The variable-length codes of CAVLC residual blocks, as tables 9-5, 9-7,
// 9-8, 9-9 and 9-10 of ITU-T H.264 give them: one entry per code with its
// length and value.  The decoder reads them through lookup tables built
// from these lists at compile time.
#include <algorithm>
#include <cstdint>

namespace avc {

struct VlcCode {
  uint8_t length;  // 0: no such code
  uint16_t bits;
};

// coeff_token, Table 9-5: [table][TotalCoeff][TrailingOnes]; table 0 for
// 0 <= nC < 2, 1 for 2 <= nC < 4, 2 for 4 <= nC < 8, 3 for nC >= 8.
extern const VlcCode kCoeffToken[4][17][4];
// coeff_token for chroma DC (nC = -1): [TotalCoeff][TrailingOnes].
extern const VlcCode kChromaDcCoeffToken[5][4];
// total_zeros for 4x4 blocks, Tables 9-7 and 9-8: [TotalCoeff - 1][total_zeros].
extern const VlcCode kTotalZeros[15][16];
// total_zeros for chroma DC, Table 9-9: [TotalCoeff - 1][total_zeros].
extern const VlcCode kChromaDcTotalZeros[3][4];
// run_before, Table 9-10: [min(zerosLeft, 7) - 1][run_before].
extern const VlcCode kRunBefore[7][15];

struct VlcEntry {
  uint8_t length;  // 0: no code starts with these bits
  uint8_t value;
};

// Codes found by their leading zeros and the kSuffixBits bits after the
// first one: a row per count of leading zeros, the last row for that many
// or more (where only a code of zeros alone can lie).
template <int kSuffixBits>
struct VlcLookup {
  static constexpr int kRows = 16;
  VlcEntry entries[kRows << kSuffixBits];

  // The code at the top of `window`.
  VlcEntry Find(uint32_t window) const {
    const int zeros = window ? std::min(__builtin_clz(window), kRows - 1) : kRows - 1;
    const uint32_t suffix =
        static_cast<uint32_t>((uint64_t{window} << (zeros + 1)) >> (32 - kSuffixBits)) & ((1u << kSuffixBits) - 1);
    return entries[(zeros << kSuffixBits) | static_cast<int>(suffix)];
  }
};

// coeff_token by table (0-3 as kCoeffToken, 4 chroma DC); the value is
// TotalCoeff * 4 + TrailingOnes.
extern const VlcLookup<5> kCoeffTokenLookup[5];
// The value is total_zeros, or run_before; tables indexed as above.
extern const VlcLookup<2> kTotalZerosLookup[15];
extern const VlcLookup<2> kChromaDcTotalZerosLookup[3];
extern const VlcLookup<2> kRunBeforeLookup[7];

}  // namespace avc
