#include "codecs/audio/voice_codec.h"

namespace codecs::audio::voice {
namespace {

enum class Family { kNone, kG711, kIma, kG726, kG726Words };

Family FamilyOf(uint16_t code) {
  switch (code) {
    case QX_VOICE_G711_ALAW:
    case QX_VOICE_G711_ULAW:
    case QX_VOICE_G711_ALAW_RAW:
    case QX_VOICE_G711_ULAW_RAW: return Family::kG711;
    case QX_VOICE_IMA:
    case QX_VOICE_IMA_FIRST_SAMPLE:
    case QX_VOICE_IMA_RAW: return Family::kIma;
    case QX_VOICE_G726_16:
    case QX_VOICE_G726_24:
    case QX_VOICE_G726_32:
    case QX_VOICE_G726_40:
    case QX_VOICE_G726_16_MSB:
    case QX_VOICE_G726_24_MSB:
    case QX_VOICE_G726_32_MSB:
    case QX_VOICE_G726_40_MSB: return Family::kG726;
    case QX_VOICE_G726_16_WORDS: return Family::kG726Words;
    default: return Family::kNone;
  }
}

}  // namespace

bool IsSupportedCode(uint16_t code) { return FamilyOf(code) != Family::kNone; }

bool ResetChannel(VoiceChannel& channel, uint16_t code) {
  channel.code = code;
  switch (FamilyOf(code)) {
    case Family::kIma: channel.ima = {}; break;
    case Family::kG726:
    case Family::kG726Words: channel.g726 = {}; break;
    case Family::kG711: break;
    case Family::kNone: return false;
  }
  return true;
}

uint16_t EncodePayload(VoiceChannel& channel, std::span<const int16_t> pcm,
                       std::span<uint8_t> payload) {
  switch (FamilyOf(channel.code)) {
    case Family::kG711: return EncodeG711(channel, pcm, payload);
    case Family::kIma: return EncodeIma(channel, pcm, payload);
    case Family::kG726: return EncodeG726(channel, pcm, payload);
    case Family::kG726Words: return EncodeG726Words(channel, pcm, payload);
    case Family::kNone: break;
  }
  return 0;
}

std::optional<size_t> DecodePayload(VoiceChannel& channel, uint16_t length, uint8_t* payload,
                                    PcmOut pcm) {
  switch (FamilyOf(channel.code)) {
    case Family::kG711: return DecodeG711(channel, length, payload, pcm);
    case Family::kIma: return DecodeIma(channel, length, payload, pcm);
    case Family::kG726: return DecodeG726(channel, length, payload, pcm);
    case Family::kG726Words: return DecodeG726Words(channel, length, payload, pcm);
    case Family::kNone: break;
  }
  return std::nullopt;
}

}  // namespace codecs::audio::voice
