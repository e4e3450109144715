#include "codecs/audio/adpcm.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

#include "codecs/audio/ima_predictor.h"

namespace codecs::audio {
namespace {

// Where the next block's search starts: the best index of the last block
// encoded by any CAdpcm.
std::atomic<int> g_encoderStepIndex{0};

constexpr int kSearchRadius = 9;

// The encoder's quantiser: the magnitude is |d| * 4 / step, at most 7.
unsigned Quantise(int32_t difference, int32_t step) {
  const int32_t magnitude = std::min<int32_t>(7, std::abs(difference) * 4 / step);
  return static_cast<unsigned>(magnitude) | (difference < 0 ? 8u : 0u);
}

// Codes samples 1..504 starting from `stepIndex`; writes the block when
// `block` is given.  Returns the RMS error, truncated.
int CodeBlock(std::span<const int16_t, CAdpcm::kSamplesPerBlock> pcm, int stepIndex,
              uint8_t* block) {
  ImaPredictor predictor{pcm[0], stepIndex};
  int64_t squaredError = 0;
  for (size_t i = 1; i < pcm.size(); ++i) {
    const unsigned code = Quantise(pcm[i] - predictor.value, predictor.Step());
    const int64_t error = pcm[i] - predictor.Reconstruct(code);
    squaredError += error * error;
    if (block) {
      uint8_t& byte = block[CAdpcm::kHeaderBytes + (i - 1) / 2];
      byte = (i & 1) ? static_cast<uint8_t>(code) : static_cast<uint8_t>(byte | (code << 4));
    }
  }
  if (block) {
    const auto first = static_cast<uint16_t>(pcm[0]);
    block[0] = static_cast<uint8_t>(first & 0xFF);
    block[1] = static_cast<uint8_t>(first >> 8);
    block[2] = static_cast<uint8_t>(stepIndex);
    block[3] = 0;
  }
  return static_cast<int>(
      std::sqrt(static_cast<double>(squaredError) / static_cast<double>(pcm.size())));
}

// Walks outwards from `start`, one step down then one step up, over a window
// of +-9 indices that re-centres on every strictly better index.
int SearchStepIndex(std::span<const int16_t, CAdpcm::kSamplesPerBlock> pcm, int start) {
  int best = start;
  int bestError = CodeBlock(pcm, start, nullptr);
  int low = std::max(start - kSearchRadius, 0);
  int high = std::min(start + kSearchRadius, kImaMaxStepIndex);
  int down = start;
  int up = start;
  bool lowerTurn = true;
  while (down > low || up < high) {
    int trial = -1;
    if (lowerTurn && down > low) trial = --down;
    if (!lowerTurn && up < high) trial = ++up;
    lowerTurn = !lowerTurn;
    if (trial < 0) continue;
    const int error = CodeBlock(pcm, trial, nullptr);
    if (error < bestError) {
      best = trial;
      bestError = error;
      low = std::max(best - kSearchRadius, 0);
      high = std::min(best + kSearchRadius, kImaMaxStepIndex);
    }
  }
  return best;
}

}  // namespace

void CAdpcm::Decode(std::span<const uint8_t, kBlockBytes> block,
                    std::span<int16_t, kSamplesPerBlock> pcm) const {
  const int stepIndex = block[2] > kImaMaxStepIndex ? 0 : block[2];
  ImaPredictor predictor{static_cast<int16_t>(block[0] | (block[1] << 8)), stepIndex};
  pcm[0] = static_cast<int16_t>(predictor.value);
  for (size_t i = 1; i < pcm.size(); ++i) {
    const uint8_t byte = block[kHeaderBytes + (i - 1) / 2];
    pcm[i] = predictor.Reconstruct((i & 1) ? (byte & 0x0F) : (byte >> 4));
  }
}

void CAdpcm::Encode(std::span<const int16_t, kSamplesPerBlock> pcm,
                    std::span<uint8_t, kBlockBytes> block) {
  const int best = SearchStepIndex(pcm, g_encoderStepIndex.load(std::memory_order_relaxed));
  g_encoderStepIndex.store(best, std::memory_order_relaxed);
  CodeBlock(pcm, best, block.data());
}

}  // namespace codecs::audio
