// G.711 frames: codes 1 and 2 carry two codes a word with the earlier code
// in the low byte, codes 65 and 66 ("raw") with the earlier in the high byte.
#include "codecs/audio/g711.h"
#include "codecs/audio/voice_payload.h"

namespace codecs::audio::voice {
namespace {

bool IsAlaw(uint16_t code) { return code == QX_VOICE_G711_ALAW || code == QX_VOICE_G711_ALAW_RAW; }
bool IsRawOrder(uint16_t code) { return code >= QX_VOICE_G711_ALAW_RAW; }

}  // namespace

uint16_t EncodeG711(const VoiceChannel& channel, std::span<const int16_t> pcm,
                    std::span<uint8_t> payload) {
  const size_t words = pcm.size() / 2;
  const bool alaw = IsAlaw(channel.code);
  const bool raw = IsRawOrder(channel.code);
  for (size_t i = 0; i < 2 * words; ++i) {
    const uint8_t code = alaw ? LinearToAlaw(pcm[i]) : LinearToUlaw(pcm[i]);
    payload[raw ? (i ^ 1) : i] = code;
  }
  return static_cast<uint16_t>(words);
}

std::optional<size_t> DecodeG711(const VoiceChannel& channel, uint16_t length,
                                 const uint8_t* payload, PcmOut pcm) {
  const size_t samples = size_t{length} * 2;
  if (!IsWholeBlockCount(static_cast<int64_t>(samples))) return std::nullopt;
  const bool alaw = IsAlaw(channel.code);
  const bool raw = IsRawOrder(channel.code);
  for (size_t i = 0; i < samples; ++i) {
    const uint8_t code = payload[raw ? (i ^ 1) : i];
    pcm[i] = alaw ? AlawToLinear(code) : UlawToLinear(code);
  }
  return samples;
}

}  // namespace codecs::audio::voice
