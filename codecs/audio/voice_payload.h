#pragma once
// What every codec family of the voice library provides: turning samples
// into a frame payload and a payload back into samples.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "codecs/audio/voice_channel.h"
#include "codecs/audio/voice_frame.h"

namespace codecs::audio::voice {

// Room for the payload in an encoder's work frame.
inline constexpr size_t kPayloadCapacityBytes = kFrameCapacityBytes - kHeaderBytes;

using PcmOut = std::span<int16_t, kMaxSamples>;

// Encoders take 1..481 samples and a zeroed payload of kPayloadCapacityBytes,
// and return the length word.
// Decoders take the length word and the payload, which holds 2 * length
// bytes.  They return the number of samples, or nullopt when the codec
// refuses the frame; then neither the channel nor the payload has changed.

uint16_t EncodeG711(const VoiceChannel& channel, std::span<const int16_t> pcm,
                    std::span<uint8_t> payload);
std::optional<size_t> DecodeG711(const VoiceChannel& channel, uint16_t length,
                                 const uint8_t* payload, PcmOut pcm);

uint16_t EncodeIma(VoiceChannel& channel, std::span<const int16_t> pcm, std::span<uint8_t> payload);
std::optional<size_t> DecodeIma(VoiceChannel& channel, uint16_t length, const uint8_t* payload,
                                PcmOut pcm);

uint16_t EncodeG726(VoiceChannel& channel, std::span<const int16_t> pcm,
                    std::span<uint8_t> payload);
std::optional<size_t> DecodeG726(VoiceChannel& channel, uint16_t length, uint8_t* payload,
                                 PcmOut pcm);

uint16_t EncodeG726Words(VoiceChannel& channel, std::span<const int16_t> pcm,
                         std::span<uint8_t> payload);
std::optional<size_t> DecodeG726Words(VoiceChannel& channel, uint16_t length,
                                      const uint8_t* payload, PcmOut pcm);

}  // namespace codecs::audio::voice
