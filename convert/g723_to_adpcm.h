#pragma once
// Re-codes G.723 24 kbit/s audio as 256-byte IMA ADPCM blocks of 505
// samples, which AVI readers know.  Payloads are decoded in order by one
// decoder; samples short of a whole block wait for the next payload, and
// Flush pads the last block with silence.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/g723_coder.h"

class G723ToAdpcm {
 public:
  // Decodes the payload and appends every block it completes to `blocks`
  // (a multiple of 256 bytes).
  void Push(const uint8_t* payload, size_t size, std::vector<uint8_t>& blocks);
  // Appends one last block when samples are waiting.
  void Flush(std::vector<uint8_t>& blocks);
  bool HasWaitingSamples() const { return !pending_.empty(); }
  // Blocks a payload of `size` bytes would complete.
  size_t BlocksAfter(size_t size) const;

 private:
  void EncodeBlock(const int16_t* samples, std::vector<uint8_t>& blocks);

  codecs::audio::CG723Coder decoder_;
  codecs::audio::CAdpcm encoder_;
  std::vector<int16_t> pending_;  // fewer than one block's samples
  std::vector<int16_t> decoded_;
};
