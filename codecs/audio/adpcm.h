#pragma once
// IMA ADPCM in 256-byte mono blocks of 505 samples (the WAVE IMA ADPCM block
// layout): the first sample whole in a 4-byte header with the starting step
// index, then 504 four-bit codes, the earlier code of each byte in its low
// nibble.
#include <cstddef>
#include <cstdint>
#include <span>

namespace codecs::audio {

class CAdpcm {
 public:
  static constexpr size_t kBlockBytes = 256;
  static constexpr size_t kSamplesPerBlock = 505;
  static constexpr size_t kHeaderBytes = 4;

  CAdpcm() = default;
  virtual ~CAdpcm() = default;

  // A header step index above 88 is taken as 0.
  void Decode(std::span<const uint8_t, kBlockBytes> block,
              std::span<int16_t, kSamplesPerBlock> pcm) const;

  // Searches for the starting step index with the least error, beginning at
  // the index the previous block chose.  That index is shared by every
  // encoder in the process (safe to read and write from several threads),
  // so encoding the same block twice may give different blocks.
  void Encode(std::span<const int16_t, kSamplesPerBlock> pcm,
              std::span<uint8_t, kBlockBytes> block);
};

}  // namespace codecs::audio
