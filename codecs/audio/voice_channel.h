#pragma once
// The codec state of one direction (an encoder or a decoder) as it is kept
// in the caller's state block: the codec code of the last reset first, then
// the state of that code's coder.
#include <cstddef>
#include <cstdint>

#include "codecs/audio/g726_core.h"
#include "codecs/audio/ima_predictor.h"
#include "codecs/audio/qx_voice.h"

namespace codecs::audio::voice {

struct VoiceChannel {
  uint16_t code = 0;
  ImaPredictor ima;
  G726State g726;
};

inline constexpr size_t kChannelBytes = 64;
inline constexpr size_t kDecoderChannelOffset = 2048;  // the transcoder's decoder half
static_assert(sizeof(VoiceChannel) <= kChannelBytes);
static_assert(kDecoderChannelOffset + kChannelBytes == QX_VOICE_STATE_SIZE);

// Reads a channel from caller memory (no alignment needed), with every field
// brought into its valid range: the block may never have been reset.
VoiceChannel LoadChannel(const uint8_t* bytes);
void StoreChannel(uint8_t* bytes, const VoiceChannel& channel);

}  // namespace codecs::audio::voice
