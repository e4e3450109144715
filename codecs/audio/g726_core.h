#pragma once
// ITU-T G.726 ADPCM at 16, 24, 32 and 40 kbit/s, one sample at a time, with
// 16-bit linear PCM on the outside: the encoder takes the sample shifted
// right by 2 (the recommendation's 14-bit range), the decoder gives the
// reconstructed signal shifted left by 2, saturated to 16 bits.
#include <array>
#include <cstdint>

#include "codecs/audio/g726_tables.h"

namespace codecs::audio {

// The recommendation's state variables, the same for an encoder and a
// decoder.  dq and sr hold the recommendation's 11-bit floating format
// (32 is zero).  yl needs 19 bits.
struct G726State {
  int32_t yl = 34816;  // slow (locked) quantizer scale factor
  int16_t yu = 544;    // fast (unlocked) quantizer scale factor
  int16_t dms = 0;     // short-term mean of the transition function
  int16_t dml = 0;     // long-term mean
  int16_t ap = 0;      // adaptation speed control
  std::array<int16_t, 2> a{};  // pole predictor coefficients
  std::array<int16_t, 6> b{};  // zero predictor coefficients
  std::array<int16_t, 2> pk{};  // signs of the last two partial reconstructions
  std::array<int16_t, 6> dq = {32, 32, 32, 32, 32, 32};  // last quantized differences
  std::array<int16_t, 2> sr = {32, 32};                  // last reconstructed signals
  uint8_t td = 0;  // tone detected

  // A state copied from memory that the caller owns may hold anything:
  // bring every field into the range the adaptation itself keeps it in.
  void Sanitise();
};

// Codes one sample; returns the code (bits of the rate, the top bit its sign).
uint8_t G726Encode(G726State& state, G726Rate rate, int16_t sample);

// Decodes one code (only its low bits for the rate count).
int16_t G726Decode(G726State& state, G726Rate rate, unsigned code);

}  // namespace codecs::audio
