// IMA ADPCM blocks: any payload is cut into whole blocks as the player cuts
// it and decoded; the same bytes read as samples are encoded and the block
// decoded again.
#include <array>
#include <cstring>

#include "codecs/audio/adpcm.h"

using codecs::audio::CAdpcm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CAdpcm codec;
  std::array<int16_t, CAdpcm::kSamplesPerBlock> pcm;
  for (size_t at = 0; at + CAdpcm::kBlockBytes <= size; at += CAdpcm::kBlockBytes)
    codec.Decode(std::span<const uint8_t, CAdpcm::kBlockBytes>(data + at, CAdpcm::kBlockBytes), pcm);

  constexpr size_t kPcmBytes = sizeof pcm;
  std::array<uint8_t, CAdpcm::kBlockBytes> block;
  for (size_t at = 0; at < size; at += kPcmBytes) {
    pcm.fill(0);
    std::memcpy(pcm.data(), data + at, std::min(kPcmBytes, size - at));
    codec.Encode(pcm, block);
    codec.Decode(block, pcm);
  }
  return 0;
}
