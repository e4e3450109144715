#pragma once
// The per-rate tables of ITU-T G.726, indexed by the magnitude |I| of a code.
#include <array>
#include <cstdint>

namespace codecs::audio {

struct G726RateTables {
  int bits;        // code size: 2, 3, 4 or 5
  int magnitudes;  // values of |I|: 2^(bits - 1)
  // Lowest normalised log difference (log2 scaled by 128) of |I| = 1, 2, ...
  std::array<int16_t, 15> decisionLevels;
  // Normalised log reconstruction level (scaled by 128); -2048 is "no difference".
  std::array<int16_t, 16> reconstruction;
  // Scale factor multiplier W(I), scaled by 16.
  std::array<int16_t, 16> multiplier;
  // Transition function F(I).
  std::array<int16_t, 16> transition;
  // Whether magnitude 0 goes out as the negative code, so that the all-zero
  // code word is never sent (every rate but 16 kbit/s).
  bool positiveZeroSentNegative;
  // Leakage of the sixth-order zero predictor: 2^-8, or 2^-9 at 40 kbit/s.
  int zeroPredictorLeakShift;
};

// The four rates, named by their code size in bits.
enum class G726Rate : uint8_t { k16 = 2, k24 = 3, k32 = 4, k40 = 5 };

constexpr int BitsPerCode(G726Rate rate) { return static_cast<int>(rate); }

const G726RateTables& G726TablesFor(G726Rate rate);

}  // namespace codecs::audio
