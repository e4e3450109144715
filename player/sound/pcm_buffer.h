#pragma once
// A node of the PCM queue between the play thread and the sound output.
// Each node knows how it was coded and how much room it has, so that a
// change of coding in the middle of a node can close it where its filled
// part ends.
#include <cstdint>
#include <memory>

enum class PcmCoding : uint8_t { Voice, Adpcm, G723 };

struct PcmBuffer {
  // Zero-filled, so that a unit that failed to decode plays as silence.
  PcmBuffer(int32_t capacity, PcmCoding coding)
      : data(new uint8_t[static_cast<size_t>(capacity)]()), capacity(capacity), coding(coding) {}

  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;  // bytes filled, handed to the output
  int32_t capacity;
  PcmCoding coding;
  std::unique_ptr<PcmBuffer> next;
};
