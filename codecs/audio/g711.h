#pragma once
// ITU-T G.711 A-law and µ-law on 16-bit linear samples.  The compressors are
// those of the ITU-T G.191 reference (a negative sample enters as its ones'
// complement); the expanders are the standard 256-entry tables.
#include <cstdint>

namespace codecs::audio {

uint8_t LinearToAlaw(int16_t sample);
uint8_t LinearToUlaw(int16_t sample);
int16_t AlawToLinear(uint8_t code);
int16_t UlawToLinear(uint8_t code);

}  // namespace codecs::audio
