#pragma once
// The variable-length codes of CAVLC residual blocks, as tables 9-5, 9-7,
// 9-8, 9-9 and 9-10 of ITU-T H.264 give them: one entry per code with its
// length and value.
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

}  // namespace avc
