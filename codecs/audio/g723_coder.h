#pragma once
// Decoder of ADPCM at 24 kbit/s (3-bit codes, the G.723 rate that G.726
// took over) for the archives' audio frames.  The state runs on from one
// payload to the next; each audio source needs its own object.
#include <cstdint>

#include "codecs/audio/g726_core.h"

namespace codecs::audio {

class CG723Coder {
 public:
  CG723Coder() = default;
  virtual ~CG723Coder() = default;

  // Decodes `bytes` bytes of codes packed least significant bit first (each
  // 3 bytes hold 8 codes) into `out`, which has room for `capacity` samples.
  // Returns the number of samples, bytes * 8 / 3.  With `out` null only
  // that number is returned.  -1, with nothing decoded, when the room is
  // too small or the arguments make no sense.
  int Decode(const uint8_t* in, int bytes, int16_t* out, int capacity);

 private:
  G726State state_;
};

}  // namespace codecs::audio
