#include "codecs/h264/cavlc_tables.h"

#include <cstddef>

namespace avc {

constexpr VlcCode kCoeffToken[4][17][4] = {
    {
        // 0 <= nC < 2
        {{1, 1}},
        {{6, 5}, {2, 1}},
        {{8, 7}, {6, 4}, {3, 1}},
        {{9, 7}, {8, 6}, {7, 5}, {5, 3}},
        {{10, 7}, {9, 6}, {8, 5}, {6, 3}},
        {{11, 7}, {10, 6}, {9, 5}, {7, 4}},
        {{13, 15}, {11, 6}, {10, 5}, {8, 4}},
        {{13, 11}, {13, 14}, {11, 5}, {9, 4}},
        {{13, 8}, {13, 10}, {13, 13}, {10, 4}},
        {{14, 15}, {14, 14}, {13, 9}, {11, 4}},
        {{14, 11}, {14, 10}, {14, 13}, {13, 12}},
        {{15, 15}, {15, 14}, {14, 9}, {14, 12}},
        {{15, 11}, {15, 10}, {15, 13}, {14, 8}},
        {{16, 15}, {15, 1}, {15, 9}, {15, 12}},
        {{16, 11}, {16, 14}, {16, 13}, {15, 8}},
        {{16, 7}, {16, 10}, {16, 9}, {16, 12}},
        {{16, 4}, {16, 6}, {16, 5}, {16, 8}},
    },
    {
        // 2 <= nC < 4
        {{2, 3}},
        {{6, 11}, {2, 2}},
        {{6, 7}, {5, 7}, {3, 3}},
        {{7, 7}, {6, 10}, {6, 9}, {4, 5}},
        {{8, 7}, {6, 6}, {6, 5}, {4, 4}},
        {{8, 4}, {7, 6}, {7, 5}, {5, 6}},
        {{9, 7}, {8, 6}, {8, 5}, {6, 8}},
        {{11, 15}, {9, 6}, {9, 5}, {6, 4}},
        {{11, 11}, {11, 14}, {11, 13}, {7, 4}},
        {{12, 15}, {11, 10}, {11, 9}, {9, 4}},
        {{12, 11}, {12, 14}, {12, 13}, {11, 12}},
        {{12, 8}, {12, 10}, {12, 9}, {11, 8}},
        {{13, 15}, {13, 14}, {13, 13}, {12, 12}},
        {{13, 11}, {13, 10}, {13, 9}, {13, 12}},
        {{13, 7}, {14, 11}, {13, 6}, {13, 8}},
        {{14, 9}, {14, 8}, {14, 10}, {13, 1}},
        {{14, 7}, {14, 6}, {14, 5}, {14, 4}},
    },
    {
        // 4 <= nC < 8
        {{4, 15}},
        {{6, 15}, {4, 14}},
        {{6, 11}, {5, 15}, {4, 13}},
        {{6, 8}, {5, 12}, {5, 14}, {4, 12}},
        {{7, 15}, {5, 10}, {5, 11}, {4, 11}},
        {{7, 11}, {5, 8}, {5, 9}, {4, 10}},
        {{7, 9}, {6, 14}, {6, 13}, {4, 9}},
        {{7, 8}, {6, 10}, {6, 9}, {4, 8}},
        {{8, 15}, {7, 14}, {7, 13}, {5, 13}},
        {{8, 11}, {8, 14}, {7, 10}, {6, 12}},
        {{9, 15}, {8, 10}, {8, 13}, {7, 12}},
        {{9, 11}, {9, 14}, {8, 9}, {8, 12}},
        {{9, 8}, {9, 10}, {9, 13}, {8, 8}},
        {{10, 13}, {9, 7}, {9, 9}, {9, 12}},
        {{10, 9}, {10, 12}, {10, 11}, {10, 10}},
        {{10, 5}, {10, 8}, {10, 7}, {10, 6}},
        {{10, 1}, {10, 4}, {10, 3}, {10, 2}},
    },
    {
        // nC >= 8: six-bit fixed codes, xxxxyy with TotalCoeff - 1 and
        // TrailingOnes; 000011 is no coefficients, 000010 is not used.
        {{6, 3}},
        {{6, 0}, {6, 1}},
        {{6, 4}, {6, 5}, {6, 6}},
        {{6, 8}, {6, 9}, {6, 10}, {6, 11}},
        {{6, 12}, {6, 13}, {6, 14}, {6, 15}},
        {{6, 16}, {6, 17}, {6, 18}, {6, 19}},
        {{6, 20}, {6, 21}, {6, 22}, {6, 23}},
        {{6, 24}, {6, 25}, {6, 26}, {6, 27}},
        {{6, 28}, {6, 29}, {6, 30}, {6, 31}},
        {{6, 32}, {6, 33}, {6, 34}, {6, 35}},
        {{6, 36}, {6, 37}, {6, 38}, {6, 39}},
        {{6, 40}, {6, 41}, {6, 42}, {6, 43}},
        {{6, 44}, {6, 45}, {6, 46}, {6, 47}},
        {{6, 48}, {6, 49}, {6, 50}, {6, 51}},
        {{6, 52}, {6, 53}, {6, 54}, {6, 55}},
        {{6, 56}, {6, 57}, {6, 58}, {6, 59}},
        {{6, 60}, {6, 61}, {6, 62}, {6, 63}},
    },
};

constexpr VlcCode kChromaDcCoeffToken[5][4] = {
    {{2, 1}},
    {{6, 7}, {1, 1}},
    {{6, 4}, {6, 6}, {3, 1}},
    {{6, 3}, {7, 3}, {7, 2}, {6, 5}},
    {{6, 2}, {8, 3}, {8, 2}, {7, 0}},
};

#define VLC_ROW(lengths, codes) lengths, codes
constexpr VlcCode kTotalZeros[15][16] = {
    {{1, 1}, {3, 3}, {3, 2}, {4, 3}, {4, 2}, {5, 3}, {5, 2}, {6, 3}, {6, 2}, {7, 3}, {7, 2}, {8, 3}, {8, 2}, {9, 3}, {9, 2}, {9, 1}},
    {{3, 7}, {3, 6}, {3, 5}, {3, 4}, {3, 3}, {4, 5}, {4, 4}, {4, 3}, {4, 2}, {5, 3}, {5, 2}, {6, 3}, {6, 2}, {6, 1}, {6, 0}},
    {{4, 5}, {3, 7}, {3, 6}, {3, 5}, {4, 4}, {4, 3}, {3, 4}, {3, 3}, {4, 2}, {5, 3}, {5, 2}, {6, 1}, {5, 1}, {6, 0}},
    {{5, 3}, {3, 7}, {4, 5}, {4, 4}, {3, 6}, {3, 5}, {3, 4}, {4, 3}, {3, 3}, {4, 2}, {5, 2}, {5, 1}, {5, 0}},
    {{4, 5}, {4, 4}, {4, 3}, {3, 7}, {3, 6}, {3, 5}, {3, 4}, {3, 3}, {4, 2}, {5, 1}, {4, 1}, {5, 0}},
    {{6, 1}, {5, 1}, {3, 7}, {3, 6}, {3, 5}, {3, 4}, {3, 3}, {3, 2}, {4, 1}, {3, 1}, {6, 0}},
    {{6, 1}, {5, 1}, {3, 5}, {3, 4}, {3, 3}, {2, 3}, {3, 2}, {4, 1}, {3, 1}, {6, 0}},
    {{6, 1}, {4, 1}, {5, 1}, {3, 3}, {2, 3}, {2, 2}, {3, 2}, {3, 1}, {6, 0}},
    {{6, 1}, {6, 0}, {4, 1}, {2, 3}, {2, 2}, {3, 1}, {2, 1}, {5, 1}},
    {{5, 1}, {5, 0}, {3, 1}, {2, 3}, {2, 2}, {2, 1}, {4, 1}},
    {{4, 0}, {4, 1}, {3, 1}, {3, 2}, {1, 1}, {3, 3}},
    {{4, 0}, {4, 1}, {2, 1}, {1, 1}, {3, 1}},
    {{3, 0}, {3, 1}, {1, 1}, {2, 1}},
    {{2, 0}, {2, 1}, {1, 1}},
    {{1, 0}, {1, 1}},
};
#undef VLC_ROW

constexpr VlcCode kChromaDcTotalZeros[3][4] = {
    {{1, 1}, {2, 1}, {3, 1}, {3, 0}},
    {{1, 1}, {2, 1}, {2, 0}},
    {{1, 1}, {1, 0}},
};

constexpr VlcCode kRunBefore[7][15] = {
    {{1, 1}, {1, 0}},
    {{1, 1}, {2, 1}, {2, 0}},
    {{2, 3}, {2, 2}, {2, 1}, {2, 0}},
    {{2, 3}, {2, 2}, {2, 1}, {3, 1}, {3, 0}},
    {{2, 3}, {2, 2}, {3, 3}, {3, 2}, {3, 1}, {3, 0}},
    {{2, 3}, {3, 0}, {3, 1}, {3, 3}, {3, 2}, {3, 5}, {3, 4}},
    {{3, 7}, {3, 6}, {3, 5}, {3, 4}, {3, 3}, {3, 2}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}, {11, 1}},
};

namespace {

// Enters one code: every suffix that starts with the code's bits after its
// first one, or, for a code of zeros only, every row from its length on.
template <int kSuffixBits>
constexpr void Enter(VlcLookup<kSuffixBits>& table, VlcCode code, int value) {
  constexpr int kRows = VlcLookup<kSuffixBits>::kRows;
  if (!code.length) return;
  const VlcEntry entry{code.length, static_cast<uint8_t>(value)};
  if (code.bits == 0) {
    for (int i = code.length << kSuffixBits; i < (kRows << kSuffixBits); ++i) table.entries[i] = entry;
    return;
  }
  int width = 0;
  while ((code.bits >> width) > 1) ++width;  // bits after the first one
  const int zeros = code.length - width - 1;
  const int first = (zeros << kSuffixBits) | ((code.bits & ((1 << width) - 1)) << (kSuffixBits - width));
  for (int i = 0; i < (1 << (kSuffixBits - width)); ++i) table.entries[first + i] = entry;
}

template <int kSuffixBits, size_t N>
constexpr VlcLookup<kSuffixBits> Build(const VlcCode (&codes)[N]) {
  VlcLookup<kSuffixBits> table{};
  for (size_t i = 0; i < N; ++i) Enter(table, codes[i], static_cast<int>(i));
  return table;
}

template <size_t kTotals>
constexpr VlcLookup<5> BuildCoeffToken(const VlcCode (&codes)[kTotals][4]) {
  VlcLookup<5> table{};
  for (size_t tc = 0; tc < kTotals; ++tc) {
    for (int t1 = 0; t1 < 4; ++t1) Enter(table, codes[tc][t1], static_cast<int>(tc * 4) + t1);
  }
  return table;
}

}  // namespace

constexpr VlcLookup<5> kCoeffTokenLookup[5] = {
    BuildCoeffToken(kCoeffToken[0]), BuildCoeffToken(kCoeffToken[1]), BuildCoeffToken(kCoeffToken[2]),
    BuildCoeffToken(kCoeffToken[3]), BuildCoeffToken(kChromaDcCoeffToken)};
constexpr VlcLookup<2> kTotalZerosLookup[15] = {
    Build<2>(kTotalZeros[0]), Build<2>(kTotalZeros[1]), Build<2>(kTotalZeros[2]),
    Build<2>(kTotalZeros[3]), Build<2>(kTotalZeros[4]), Build<2>(kTotalZeros[5]),
    Build<2>(kTotalZeros[6]), Build<2>(kTotalZeros[7]), Build<2>(kTotalZeros[8]),
    Build<2>(kTotalZeros[9]), Build<2>(kTotalZeros[10]), Build<2>(kTotalZeros[11]),
    Build<2>(kTotalZeros[12]), Build<2>(kTotalZeros[13]), Build<2>(kTotalZeros[14])};
constexpr VlcLookup<2> kChromaDcTotalZerosLookup[3] = {
    Build<2>(kChromaDcTotalZeros[0]), Build<2>(kChromaDcTotalZeros[1]), Build<2>(kChromaDcTotalZeros[2])};
constexpr VlcLookup<2> kRunBeforeLookup[7] = {
    Build<2>(kRunBefore[0]), Build<2>(kRunBefore[1]), Build<2>(kRunBefore[2]), Build<2>(kRunBefore[3]),
    Build<2>(kRunBefore[4]), Build<2>(kRunBefore[5]), Build<2>(kRunBefore[6])};


}  // namespace avc
