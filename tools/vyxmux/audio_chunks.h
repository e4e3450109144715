#pragma once
// Raw audio payload split into records of a fixed byte count.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/vyxmux/timing.h"

struct AudioChunk {
  uint64_t offsetUsec = 0;  // time of its first byte after the track's start
  std::vector<uint8_t> bytes;
};

constexpr size_t kImaAdpcmBlockBytes = 256;

// Chunks of `chunkBytes` (the last one may be shorter); chunk k starts at
// byte k * chunkBytes, which plays at that byte count / `bytesPerSecond`.
// IMA ADPCM records hold whole blocks, so for that type both the chunk size
// and the data size must be multiples of 256.  Empty with `error` set on
// bad parameters or data.
std::vector<AudioChunk> ChunkAudio(uint8_t type, const std::vector<uint8_t>& data, size_t chunkBytes,
                                   Rational bytesPerSecond, std::string& error);
