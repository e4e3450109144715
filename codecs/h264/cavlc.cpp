#include "codecs/h264/cavlc.h"

#include "codecs/h264/cavlc_tables.h"

namespace avc {

namespace {

// Finds the code at the reader among `count` codes, value = index; -1 when
// none matches.
template <size_t N>
int MatchCode(uint32_t window, const VlcCode (&codes)[N], int count) {
  for (int i = 0; i < count; ++i) {
    const VlcCode c = codes[i];
    if (c.length && (window >> (32 - c.length)) == c.bits) return i;
  }
  return -1;
}

bool ReadCoeffToken(BitReader& r, int nC, int& totalCoeff, int& trailingOnes) {
  const uint32_t window = r.Peek32();
  if (nC < 0) {
    for (int tc = 0; tc <= 4; ++tc) {
      const int t1 = MatchCode(window, kChromaDcCoeffToken[tc], tc < 3 ? tc + 1 : 4);
      if (t1 >= 0) {
        r.Skip(kChromaDcCoeffToken[tc][t1].length);
        totalCoeff = tc;
        trailingOnes = t1;
        return true;
      }
    }
    return false;
  }
  const int table = nC < 2 ? 0 : nC < 4 ? 1 : nC < 8 ? 2 : 3;
  for (int tc = 0; tc <= 16; ++tc) {
    const int t1 = MatchCode(window, kCoeffToken[table][tc], tc < 3 ? tc + 1 : 4);
    if (t1 >= 0) {
      r.Skip(kCoeffToken[table][tc][t1].length);
      totalCoeff = tc;
      trailingOnes = t1;
      return true;
    }
  }
  return false;
}

template <size_t N>
int ReadCode(BitReader& r, const VlcCode (&codes)[N], int count) {
  const int value = MatchCode(r.Peek32(), codes, count);
  if (value >= 0) r.Skip(codes[value].length);
  return value;
}

}  // namespace

bool ReadResidualBlock(BitReader& r, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff) {
  int trailingOnes = 0;
  totalCoeff = 0;
  if (!ReadCoeffToken(r, nC, totalCoeff, trailingOnes)) return false;
  if (totalCoeff > maxNumCoeff) return false;
  if (totalCoeff == 0) return true;

  int level[16];
  for (int i = 0; i < trailingOnes; ++i) level[i] = r.Bit() ? -1 : 1;
  int suffixLength = totalCoeff > 10 && trailingOnes < 3 ? 1 : 0;
  for (int i = trailingOnes; i < totalCoeff; ++i) {
    const uint32_t window = r.Peek32();
    const int prefix = window ? __builtin_clz(window) : 32;
    if (prefix > 15) return false;  // longer prefixes belong to high bit depths
    r.Skip(static_cast<size_t>(prefix) + 1);
    int levelCode = (prefix < 15 ? prefix : 15) << suffixLength;
    int suffixSize = suffixLength;
    if (prefix == 14 && suffixLength == 0) suffixSize = 4;
    if (prefix == 15) suffixSize = 12;
    if (suffixSize > 0) levelCode += static_cast<int>(r.Bits(static_cast<unsigned>(suffixSize)));
    if (prefix == 15 && suffixLength == 0) levelCode += 15;
    if (i == trailingOnes && trailingOnes < 3) levelCode += 2;
    level[i] = (levelCode & 1) ? (-levelCode - 1) >> 1 : (levelCode + 2) >> 1;
    if (suffixLength == 0) suffixLength = 1;
    const int magnitude = level[i] < 0 ? -level[i] : level[i];
    if (magnitude > (3 << (suffixLength - 1)) && suffixLength < 6) ++suffixLength;
  }

  int zerosLeft = 0;
  if (totalCoeff < maxNumCoeff) {
    zerosLeft = maxNumCoeff == 4 ? ReadCode(r, kChromaDcTotalZeros[totalCoeff - 1], 5 - totalCoeff)
                                 : ReadCode(r, kTotalZeros[totalCoeff - 1], 17 - totalCoeff);
    if (zerosLeft < 0) return false;
  }
  // Coefficients and zeros together must fit the block.
  if (totalCoeff + zerosLeft > maxNumCoeff) return false;

  int run[16] = {};
  for (int i = 0; i < totalCoeff - 1 && zerosLeft > 0; ++i) {
    const int table = zerosLeft < 7 ? zerosLeft - 1 : 6;
    const int value = ReadCode(r, kRunBefore[table], zerosLeft < 7 ? zerosLeft + 1 : 15);
    if (value < 0 || value > zerosLeft) return false;
    run[i] = value;
    zerosLeft -= value;
  }
  run[totalCoeff - 1] = zerosLeft;

  int position = -1;
  for (int i = totalCoeff - 1; i >= 0; --i) {
    position += run[i] + 1;
    levels[position] = static_cast<int16_t>(level[i]);
  }
  return true;
}

}  // namespace avc
