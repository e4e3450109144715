#pragma once
// Calling the voice library from tests: frames as byte vectors of exactly
// their size, so that AddressSanitizer sees any read or write past them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/audio/qx_voice.h"

namespace voice_test {

// A frame of the given header and payload (padded with zeros to `length` words).
std::vector<uint8_t> Frame(uint16_t marker, uint16_t length, std::vector<uint8_t> payload = {});
uint16_t Word(const std::vector<uint8_t>& frame, size_t index);

struct Encoded {
  uint32_t result;
  std::vector<uint8_t> frame;  // the bytes the encoder wrote
};
// Encodes into a capacity-sized buffer and checks that nothing beyond
// 2 + L words was written.
Encoded Encode(QxVoiceState& state, const std::vector<int16_t>& pcm);

struct Decoded {
  uint32_t result;
  std::vector<int16_t> pcm;  // `count` samples
};
// Decodes into a buffer of exactly QX_VOICE_MAX_SAMPLES samples.
Decoded Decode(QxVoiceState& state, std::vector<uint8_t>& frame);

QxVoiceState EncoderFor(uint16_t code);
QxVoiceState DecoderFor(uint16_t code);

}  // namespace voice_test
