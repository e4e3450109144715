#include "codecs/h264/cavlc.h"

#include <cstring>

#include "codecs/h264/cavlc_tables.h"

namespace avc {

namespace {

// The reader's bits from its position on, held in a 64-bit register that is
// refilled eight bytes at a time: a block's codes follow one another with
// no load from memory between them.  Past the unit's end it gives zeros,
// as the reader does; the caller moves the reader by `consumed` at the end.
class BlockBits {
 public:
  explicit BlockBits(const BitReader& r) {
    const size_t position = r.Position();
    const size_t byte = position >> 3;
    next_ = r.Data() + (byte < r.Bytes() ? byte : r.Bytes());
    end_ = r.Data() + r.Bytes();
    Refill();
    cache_ <<= position & 7;
    count_ -= static_cast<int>(position & 7);
  }

  uint32_t Peek32() {
    if (count_ < 32) Refill();
    return static_cast<uint32_t>(cache_ >> 32);
  }
  // n <= 32.
  void Skip(int n) {
    cache_ <<= n;
    count_ -= n;
    consumed_ += static_cast<size_t>(n);
  }
  uint32_t Bits(int n) {
    const uint32_t v = Peek32() >> (32 - n);
    Skip(n);
    return v;
  }
  size_t Consumed() const { return consumed_; }

 private:
  void Refill() {
    uint64_t v = 0;
    if (end_ - next_ >= 8) {
      std::memcpy(&v, next_, 8);
      v = __builtin_bswap64(v);
    } else {
      for (int i = 0; i < 8; ++i) v = (v << 8) | (next_ + i < end_ ? next_[i] : 0);
    }
    cache_ |= v >> count_;
    const int bytes = (63 - count_) >> 3;
    // Beyond the end only zeros come in; the pointer stays at the end.
    next_ += end_ - next_ < bytes ? end_ - next_ : bytes;
    count_ += bytes * 8;
  }

  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t cache_ = 0;
  int count_ = 0;
  size_t consumed_ = 0;
};

// run_before by zerosLeft (0 to 15): no codes at all for 0, one table
// for every count from 7 on.
constexpr VlcLookup<2> kNoRun{};
constexpr const VlcLookup<2>* kRunBeforeByZeros[16] = {
    &kNoRun,              &kRunBeforeLookup[0], &kRunBeforeLookup[1], &kRunBeforeLookup[2],
    &kRunBeforeLookup[3], &kRunBeforeLookup[4], &kRunBeforeLookup[5], &kRunBeforeLookup[6],
    &kRunBeforeLookup[6], &kRunBeforeLookup[6], &kRunBeforeLookup[6], &kRunBeforeLookup[6],
    &kRunBeforeLookup[6], &kRunBeforeLookup[6], &kRunBeforeLookup[6], &kRunBeforeLookup[6]};

// Reads the code at the reader; -1 when no code of the table starts there.
template <int kSuffixBits>
inline __attribute__((always_inline)) int ReadCode(BlockBits& r, const VlcLookup<kSuffixBits>& table) {
  const VlcEntry e = table.Find(r.Peek32());
  if (!e.length) return -1;
  r.Skip(e.length);
  return e.value;
}

bool ReadBlock(BlockBits& r, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff) {
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
    const uint32_t signs = r.Bits(trailingOnes);
    for (int i = 0; i < trailingOnes; ++i) level[i] = ((signs >> (trailingOnes - 1 - i)) & 1) ? -1 : 1;
  }
  int suffixLength = totalCoeff > 10 && trailingOnes < 3 ? 1 : 0;
  // The first level after fewer than three trailing ones cannot be +-1.
  int firstBonus = trailingOnes < 3 ? 2 : 0;
  for (int i = trailingOnes; i < totalCoeff; ++i) {
    // Prefix, its one and a suffix of up to 12 bits: at most 28 bits.
    const uint32_t window = r.Peek32();
    const int prefix = window ? __builtin_clz(window) : 32;
    if (prefix > 15) return false;  // longer prefixes belong to high bit depths
    int levelCode = (prefix < 15 ? prefix : 15) << suffixLength;
    int suffixSize = suffixLength;
    if (prefix >= 14) {
      if (prefix == 14 && suffixLength == 0) suffixSize = 4;
      if (prefix == 15) {
        suffixSize = 12;
        if (suffixLength == 0) levelCode += 15;
      }
    }
    // The top suffixSize bits after the prefix's one; none for size 0.
    const uint64_t rest = static_cast<uint32_t>(window << (prefix + 1));
    levelCode += static_cast<int>((rest << suffixSize) >> 32);
    r.Skip(prefix + 1 + suffixSize);
    levelCode += firstBonus;
    firstBonus = 0;
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
  // Once no zeros are left, the table of no codes reads nothing and gives
  // runs of 0, so the loop needs no branch for it.
  int position = totalCoeff + zerosLeft - 1;
  for (int i = 0; i < totalCoeff - 1; ++i) {
    levels[position] = static_cast<int16_t>(level[i]);
    const VlcEntry e = kRunBeforeByZeros[zerosLeft]->Find(r.Peek32());
    if (!e.length & (zerosLeft > 0)) return false;
    r.Skip(e.length);
    const int run = e.value;
    if (run > zerosLeft) return false;
    zerosLeft -= run;
    position -= run + 1;
  }
  levels[position] = static_cast<int16_t>(level[totalCoeff - 1]);
  return true;
}

}  // namespace

bool ReadResidualBlock(BitReader& reader, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff) {
  BlockBits bits(reader);
  const bool ok = ReadBlock(bits, nC, maxNumCoeff, levels, totalCoeff);
  reader.Skip(bits.Consumed());
  return ok;
}

}  // namespace avc
