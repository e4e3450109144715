#include "tools/vyxmux/audio_chunks.h"

#include <algorithm>

#include "player/archive/vyx_format.h"

std::vector<AudioChunk> ChunkAudio(uint8_t type, const std::vector<uint8_t>& data, size_t chunkBytes,
                                   Rational bytesPerSecond, std::string& error) {
  error.clear();
  if (chunkBytes == 0) {
    error = "the chunk size must be at least one byte";
    return {};
  }
  if (data.empty()) {
    error = "the audio file is empty";
    return {};
  }
  if (type == FRAME_TYPE_ADPCM) {
    if (chunkBytes % kImaAdpcmBlockBytes != 0) {
      error = "IMA ADPCM chunks must be whole 256-byte blocks";
      return {};
    }
    if (data.size() % kImaAdpcmBlockBytes != 0) {
      error = "the IMA ADPCM file ends in a partial 256-byte block";
      return {};
    }
  }
  std::vector<AudioChunk> chunks;
  for (size_t offset = 0; offset < data.size();) {
    const size_t end = offset + std::min(chunkBytes, data.size() - offset);
    chunks.push_back({OffsetUsec(offset, bytesPerSecond),
                      std::vector<uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(offset),
                                           data.begin() + static_cast<std::ptrdiff_t>(end))});
    offset = end;
  }
  return chunks;
}
