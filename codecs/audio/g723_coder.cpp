#include "codecs/audio/g723_coder.h"

#include <cstddef>
#include <limits>
#include <span>

#include "codecs/audio/bit_packing.h"

namespace codecs::audio {

int CG723Coder::Decode(const uint8_t* in, int bytes, int16_t* out, int capacity) {
  constexpr int kBits = BitsPerCode(G726Rate::k24);
  if (bytes < 0) return -1;
  const int64_t samples = int64_t{bytes} * 8 / kBits;
  if (samples > std::numeric_limits<int>::max()) return -1;
  if (!out) return static_cast<int>(samples);
  if (capacity < samples || (!in && samples > 0)) return -1;
  LsbFirstBitReader reader(std::span<const uint8_t>(in, static_cast<size_t>(bytes)));
  for (int64_t i = 0; i < samples; ++i) out[i] = G726Decode(state_, G726Rate::k24, reader.Read(kBits));
  return static_cast<int>(samples);
}

}  // namespace codecs::audio
