#pragma once
// Frames of the voice library as bytes: little-endian 16-bit words, the
// marker and the payload length first.
#include <cstddef>
#include <cstdint>

#include "codecs/audio/qx_voice.h"

namespace codecs::audio::voice {

inline constexpr size_t kHeaderBytes = sizeof(QxVoiceFrameHeader);
inline constexpr size_t kMaxSamples = QX_VOICE_MAX_SAMPLES;
inline constexpr size_t kFrameCapacityBytes = QX_VOICE_FRAME_CAPACITY;
inline constexpr uint16_t kMarkerMask = 0x0300;

inline uint16_t ReadWord(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline void WriteWord(uint8_t* bytes, uint16_t word) {
  bytes[0] = static_cast<uint8_t>(word & 0xFF);
  bytes[1] = static_cast<uint8_t>(word >> 8);
}

// The decoders' rule for G.711 and G.726 frames: a whole number of 10 ms
// blocks, at most 481 samples.
inline bool IsWholeBlockCount(int64_t samples) {
  return samples >= 0 && samples <= static_cast<int64_t>(kMaxSamples) && samples % 80 == 0;
}

}  // namespace codecs::audio::voice
