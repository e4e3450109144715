#pragma once
// The voice library's codec codes and what each one does, dispatched to the
// codec families.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "codecs/audio/voice_payload.h"

namespace codecs::audio::voice {

bool IsSupportedCode(uint16_t code);

// Stores the code and resets its coder; false (the code stored all the
// same) when the code is unsupported.
bool ResetChannel(VoiceChannel& channel, uint16_t code);

// For a channel with a supported code.
uint16_t EncodePayload(VoiceChannel& channel, std::span<const int16_t> pcm,
                       std::span<uint8_t> payload);
std::optional<size_t> DecodePayload(VoiceChannel& channel, uint16_t length, uint8_t* payload,
                                    PcmOut pcm);

}  // namespace codecs::audio::voice
