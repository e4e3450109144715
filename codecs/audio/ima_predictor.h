#pragma once
// The state of one IMA ADPCM channel and its reconstruction rule, which the
// decoders and both encoders (they differ only in how they pick a code)
// apply after every code.
#include <cstdint>

#include "codecs/audio/ima_tables.h"

namespace codecs::audio {

struct ImaPredictor {
  int32_t value = 0;  // the last reconstructed sample
  int32_t index = 0;  // step index 0..88

  int32_t Step() const { return kImaStepTable[static_cast<size_t>(index)]; }

  // Applies a 4-bit code (bit 3 the sign): the step index moves first, the
  // difference comes from the old step.  Returns the new sample.
  int16_t Reconstruct(unsigned code) {
    const int32_t step = Step();
    index = kImaNextIndex[static_cast<size_t>(index)][code & 7];
    int32_t diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    value += (code & 8) ? -diff : diff;
    if (value < -32768) value = -32768;
    if (value > 32767) value = 32767;
    return static_cast<int16_t>(value);
  }
};

}  // namespace codecs::audio
