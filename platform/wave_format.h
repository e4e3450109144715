#pragma once
// The PCM format of a wave output, laid out byte for byte as the 18-byte
// WAVEFORMATEX record that archives and callers copy around whole.
#include <cstddef>
#include <cstdint>

namespace platform {

constexpr uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t extraSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Integer PCM of 8 or 16 bits whose derived fields agree with the others:
// anything else would make a device play at the wrong rate.
bool IsPlayablePcm(const WAVEFORMATEX& format);

}  // namespace platform
