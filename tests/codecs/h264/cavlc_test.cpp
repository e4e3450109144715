// The CAVLC code tables and the residual block reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/h264/bit_reader.h"
#include "codecs/h264/cavlc.h"
#include "codecs/h264/cavlc_tables.h"

namespace {

using avc::VlcCode;

// No code of a table may be a prefix of another, and a table's codes can
// use at most the whole code space (Kraft's inequality).
void ExpectPrefixFree(const std::vector<VlcCode>& codes, bool complete, const std::string& what) {
  double kraft = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    kraft += 1.0 / static_cast<double>(1u << codes[i].length);
    for (size_t j = 0; j < codes.size(); ++j) {
      if (i == j) continue;
      const VlcCode a = codes[i], b = codes[j];
      if (a.length > b.length) continue;
      EXPECT_NE(b.bits >> (b.length - a.length), a.bits) << what << ": code " << i << " prefixes code " << j;
    }
  }
  EXPECT_LE(kraft, 1.0 + 1e-12) << what;
  if (complete) {
    EXPECT_NEAR(kraft, 1.0, 1e-12) << what;
  }
}

template <size_t N>
std::vector<VlcCode> Present(const VlcCode (&row)[N]) {
  std::vector<VlcCode> codes;
  for (const VlcCode& c : row) {
    if (c.length) codes.push_back(c);
  }
  return codes;
}

TEST(CavlcTables, EveryTableIsAPrefixCode) {
  for (int t = 0; t < 4; ++t) {
    std::vector<VlcCode> all;
    for (const auto& row : avc::kCoeffToken[t]) {
      for (const VlcCode& c : Present(row)) all.push_back(c);
    }
    EXPECT_EQ(all.size(), 62u);
    ExpectPrefixFree(all, false, "coeff_token table " + std::to_string(t));
  }
  std::vector<VlcCode> chroma;
  for (const auto& row : avc::kChromaDcCoeffToken) {
    for (const VlcCode& c : Present(row)) chroma.push_back(c);
  }
  EXPECT_EQ(chroma.size(), 14u);
  ExpectPrefixFree(chroma, false, "chroma DC coeff_token");
  for (int tc = 1; tc <= 15; ++tc) {
    const auto codes = Present(avc::kTotalZeros[tc - 1]);
    EXPECT_EQ(codes.size(), static_cast<size_t>(17 - tc));
    ExpectPrefixFree(codes, tc > 1, "total_zeros " + std::to_string(tc));
  }
  for (int tc = 1; tc <= 3; ++tc) ExpectPrefixFree(Present(avc::kChromaDcTotalZeros[tc - 1]), true, "chroma total_zeros");
  for (int z = 1; z <= 7; ++z) ExpectPrefixFree(Present(avc::kRunBefore[z - 1]), z < 7, "run_before " + std::to_string(z));
}

// The code a list gives for the bits at the top of `window`, by search;
// length 0 when none matches.
template <size_t N>
avc::VlcEntry Search(uint32_t window, const VlcCode (&codes)[N], int valueBase, int valueStep) {
  for (size_t i = 0; i < N; ++i) {
    const VlcCode c = codes[i];
    if (c.length && (window >> (32 - c.length)) == c.bits) {
      return {c.length, static_cast<uint8_t>(valueBase + static_cast<int>(i) * valueStep)};
    }
  }
  return {0, 0};
}

template <int kSuffixBits, class Reference>
void ExpectLookupMatchesSearch(const avc::VlcLookup<kSuffixBits>& lookup, Reference reference, const std::string& what) {
  // Every code is at most 16 bits long; the low half of the window varies
  // so that all-zero windows and a set bit beyond the codes both occur.
  for (uint32_t top = 0; top < 0x10000; ++top) {
    for (const uint32_t low : {0u, 0x8000u, 0xffffu}) {
      const uint32_t window = top << 16 | low;
      const avc::VlcEntry want = reference(window), got = lookup.Find(window);
      ASSERT_EQ(got.length, want.length) << what << " window " << std::hex << window;
      if (want.length) {
        ASSERT_EQ(got.value, want.value) << what << " window " << std::hex << window;
      }
    }
  }
}

TEST(CavlcTables, LookupsFindWhatASearchOfTheListsFinds) {
  for (int t = 0; t < 5; ++t) {
    ExpectLookupMatchesSearch(avc::kCoeffTokenLookup[t], [t](uint32_t window) {
      for (int tc = 0; tc <= 16; ++tc) {
        const avc::VlcEntry e = t < 4 ? Search(window, avc::kCoeffToken[t][tc], tc * 4, 1)
                                      : tc <= 4 ? Search(window, avc::kChromaDcCoeffToken[tc], tc * 4, 1)
                                                : avc::VlcEntry{0, 0};
        if (e.length) return e;
      }
      return avc::VlcEntry{0, 0};
    }, "coeff_token table " + std::to_string(t));
  }
  for (int tc = 1; tc <= 15; ++tc) {
    ExpectLookupMatchesSearch(avc::kTotalZerosLookup[tc - 1],
                              [tc](uint32_t w) { return Search(w, avc::kTotalZeros[tc - 1], 0, 1); },
                              "total_zeros " + std::to_string(tc));
  }
  for (int tc = 1; tc <= 3; ++tc) {
    ExpectLookupMatchesSearch(avc::kChromaDcTotalZerosLookup[tc - 1],
                              [tc](uint32_t w) { return Search(w, avc::kChromaDcTotalZeros[tc - 1], 0, 1); },
                              "chroma total_zeros " + std::to_string(tc));
  }
  for (int z = 1; z <= 7; ++z) {
    ExpectLookupMatchesSearch(avc::kRunBeforeLookup[z - 1],
                              [z](uint32_t w) { return Search(w, avc::kRunBefore[z - 1], 0, 1); },
                              "run_before " + std::to_string(z));
  }
}

// Bits from a string of '0' and '1'.
std::vector<uint8_t> Bits(const std::string& s) {
  std::vector<uint8_t> out((s.size() + 7) / 8 + 1, 0);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '1') out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  }
  out.back() = 0x80;  // a stop bit after the block
  return out;
}

struct BlockCase {
  const char* bits;
  int nC;
  int maxNumCoeff;
  bool valid;
  int totalCoeff;
  std::vector<int16_t> levels;  // scan order
  size_t consumed;
};

TEST(ReadResidualBlock, DecodesTheStandardsExamplesAndRefusesBadBlocks) {
  const BlockCase cases[] = {
      {"1", 0, 16, true, 0, {}, 1},
      {"000011", 8, 16, true, 0, {}, 6},
      {"000010", 8, 16, false, 0, {}, 0},
      // The 4x4 block 0 3 -1 0 / 0 -1 1 0 / 1 0 0 0 / 0 ..., in scan order 0 3 0 1 -1 -1 0 1:
      // coeff_token TotalCoeff 5 T1s 3 (nC 0): 0000100; signs 0 1 1; level +1:
      // prefix 1 -> "1", level 3 -> "0010"; total_zeros 3 -> "111"; runs 1 0 0 1 ...
      {"0000100" "011" "1" "0010" "111" "10" "1" "1" "01", 0, 16, true, 5, {0, 3, 0, 1, -1, -1, 0, 1, 0}, 24},
      // TotalCoeff 16 (three trailing ones) reads no total_zeros.
      {"0000000000001000" "000" "1" "10" "10" "10" "10" "10" "10" "10" "10" "10" "10" "10" "10", 0, 16, true, 16,
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 44},
      // A prefix of 16 zeros is beyond 8-bit video.
      {"000101" "0000000000000000" "1", 0, 16, false, 0, {}, 0},
  };
  for (const BlockCase& c : cases) {
    const std::vector<uint8_t> data = Bits(c.bits);
    avc::BitReader reader(data.data(), data.size());
    int16_t levels[16] = {};
    int total = -1;
    const bool ok = avc::ReadResidualBlock(reader, c.nC, c.maxNumCoeff, levels, total);
    EXPECT_EQ(ok, c.valid) << c.bits;
    if (!ok || !c.valid) continue;
    EXPECT_EQ(total, c.totalCoeff) << c.bits;
    for (size_t i = 0; i < c.levels.size(); ++i) EXPECT_EQ(levels[i], c.levels[i]) << c.bits << " coefficient " << i;
    if (c.consumed) {
      EXPECT_EQ(reader.Position(), c.consumed) << c.bits;
    }
  }
}

}  // namespace
