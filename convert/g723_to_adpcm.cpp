#include "convert/g723_to_adpcm.h"

#include <algorithm>
#include <span>

namespace {

using codecs::audio::CAdpcm;

// Whole groups of 3 bytes (8 codes) decode the same in pieces as at once.
constexpr size_t kPieceBytes = 3 * 1024;

}  // namespace

size_t G723ToAdpcm::BlocksAfter(size_t size) const {
  const uint64_t samples = pending_.size() + static_cast<uint64_t>(size) / 3 * 8 + size % 3 * 8 / 3;
  return static_cast<size_t>(samples / CAdpcm::kSamplesPerBlock);
}

void G723ToAdpcm::EncodeBlock(const int16_t* samples, std::vector<uint8_t>& blocks) {
  const size_t at = blocks.size();
  blocks.resize(at + CAdpcm::kBlockBytes);
  encoder_.Encode(std::span<const int16_t, CAdpcm::kSamplesPerBlock>(samples, CAdpcm::kSamplesPerBlock),
                  std::span<uint8_t, CAdpcm::kBlockBytes>(blocks.data() + at, CAdpcm::kBlockBytes));
}

void G723ToAdpcm::Push(const uint8_t* payload, size_t size, std::vector<uint8_t>& blocks) {
  while (size > 0) {
    const size_t piece = std::min(size, kPieceBytes);
    const size_t samples = piece / 3 * 8 + piece % 3 * 8 / 3;
    decoded_.resize(samples);
    const int got = decoder_.Decode(payload, static_cast<int>(piece), decoded_.data(),
                                    static_cast<int>(samples));
    if (got > 0) pending_.insert(pending_.end(), decoded_.begin(), decoded_.begin() + got);
    payload += piece;
    size -= piece;

    size_t used = 0;
    while (pending_.size() - used >= CAdpcm::kSamplesPerBlock) {
      EncodeBlock(pending_.data() + used, blocks);
      used += CAdpcm::kSamplesPerBlock;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(used));
  }
}

void G723ToAdpcm::Flush(std::vector<uint8_t>& blocks) {
  if (pending_.empty()) return;
  pending_.resize(CAdpcm::kSamplesPerBlock, 0);
  EncodeBlock(pending_.data(), blocks);
  pending_.clear();
}
