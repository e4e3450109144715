#include "codecs/h264/cavlc.h"

#include "codecs/h264/cavlc_tables.h"

namespace avc {

namespace {

// Reads the code at the reader; -1 when no code of the table starts there.
template <int kSuffixBits>
inline __attribute__((always_inline)) int ReadCode(BitReader& r, const VlcLookup<kSuffixBits>& table) {
  const VlcEntry e = table.Find(r.Peek32());
  if (!e.length) return -1;
  r.Skip(e.length);
  return e.value;
}

}  // namespace

namespace {

bool ReadBlock(BitReader& r, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff) {
  const int table = nC < 0 ? 4 : nC < 2 ? 0 : nC < 4 ? 1 : nC < 8 ? 2 : 3;
  const int token = ReadCode(r, kCoeffTokenLookup[table]);
  totalCoeff = 0;
  if (token < 0) return false;
  totalCoeff = token >> 2;
  const int trailingOnes = token & 3;
  if (totalCoeff > maxNumCoeff) return false;
  if (totalCoeff == 0) return true;

  int level[16];
  if (trailingOnes) {
    // One sign bit each, first sign first.
    const uint32_t signs = r.Bits(static_cast<unsigned>(trailingOnes));
    for (int i = 0; i < trailingOnes; ++i) level[i] = ((signs >> (trailingOnes - 1 - i)) & 1) ? -1 : 1;
  }
  int suffixLength = totalCoeff > 10 && trailingOnes < 3 ? 1 : 0;
  for (int i = trailingOnes; i < totalCoeff; ++i) {
    // Prefix, its one and a suffix of up to 12 bits: at most 28 bits.
    const uint32_t window = r.Peek32();
    const int prefix = window ? __builtin_clz(window) : 32;
    if (prefix > 15) return false;  // longer prefixes belong to high bit depths
    int levelCode = (prefix < 15 ? prefix : 15) << suffixLength;
    int suffixSize = suffixLength;
    if (prefix == 14 && suffixLength == 0) suffixSize = 4;
    if (prefix == 15) suffixSize = 12;
    if (suffixSize > 0) levelCode += static_cast<int>((window << (prefix + 1)) >> (32 - suffixSize));
    r.Skip(static_cast<size_t>(prefix + 1 + suffixSize));
    if (prefix == 15 && suffixLength == 0) levelCode += 15;
    if (i == trailingOnes && trailingOnes < 3) levelCode += 2;
    // Even codes are positive, odd ones negative, without a branch.
    const int magnitude = (levelCode + 2) >> 1;
    const int negative = levelCode & 1;
    level[i] = (magnitude ^ -negative) + negative;
    if (suffixLength == 0) suffixLength = 1;
    suffixLength += magnitude > (3 << (suffixLength - 1)) && suffixLength < 6;
  }

  int zerosLeft = 0;
  if (totalCoeff < maxNumCoeff) {
    zerosLeft = maxNumCoeff == 4 ? ReadCode(r, kChromaDcTotalZerosLookup[totalCoeff - 1])
                                 : ReadCode(r, kTotalZerosLookup[totalCoeff - 1]);
    if (zerosLeft < 0) return false;
  }
  // Coefficients and zeros together must fit the block.
  if (totalCoeff + zerosLeft > maxNumCoeff) return false;

  // Levels go in from the highest frequency down: each run_before moves
  // the position back past that many zeros.
  int position = totalCoeff + zerosLeft - 1;
  for (int i = 0; i < totalCoeff - 1; ++i) {
    levels[position] = static_cast<int16_t>(level[i]);
    int run = 0;
    if (zerosLeft > 0) {
      run = ReadCode(r, kRunBeforeLookup[zerosLeft < 7 ? zerosLeft - 1 : 6]);
      if (run < 0 || run > zerosLeft) return false;
      zerosLeft -= run;
    }
    position -= run + 1;
  }
  levels[position] = static_cast<int16_t>(level[totalCoeff - 1]);
  return true;
}

}  // namespace

bool ReadResidualBlock(BitReader& reader, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff) {
  // A local copy keeps the reader's position in a register, where stores
  // into `levels` cannot force it back to memory.
  BitReader local = reader;
  const bool ok = ReadBlock(local, nC, maxNumCoeff, levels, totalCoeff);
  reader = local;
  return ok;
}

}  // namespace avc
