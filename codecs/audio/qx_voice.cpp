// The voice library's seven entry points: argument checks in the order the
// callers rely on, the state block kept in caller memory, and the
// transcoder built from a decode and an encode.
#include "codecs/audio/qx_voice.h"

#include <array>
#include <cstring>
#include <utility>

#include "codecs/audio/voice_codec.h"

namespace {

using namespace codecs::audio::voice;

constexpr char kVersion[] = "QX_VOICE_VERSION=Qx1000_VOICELIB_V1.0.0.0";
static_assert(sizeof kVersion == QX_VOICE_VERSION_SIZE);

uint8_t* Bytes(QxVoiceState* state) { return reinterpret_cast<uint8_t*>(state); }

uint32_t Reset(uint8_t* channelBytes, uint16_t code, uint32_t unsupported) {
  VoiceChannel channel;
  const bool supported = ResetChannel(channel, code);
  StoreChannel(channelBytes, channel);
  return supported ? QX_VOICE_OK : unsupported;
}

uint32_t Encode(uint8_t* channelBytes, const int16_t* pcm, uint8_t* frame, int16_t count) {
  if (count < 1 || count > static_cast<int16_t>(kMaxSamples)) return QX_VOICE_E_ENC_COUNT;
  VoiceChannel channel = LoadChannel(channelBytes);
  if (!IsSupportedCode(channel.code)) return QX_VOICE_E_ENC_CODEC;
  // Each call builds its frame in its own work area, so separate states may
  // be used from separate threads.
  std::array<uint8_t, kFrameCapacityBytes> work{};
  const uint16_t length = EncodePayload(
      channel, std::span<const int16_t>(pcm, static_cast<size_t>(count)),
      std::span<uint8_t>(work).subspan(kHeaderBytes));
  WriteWord(&work[0], QX_VOICE_FRAME_MARKER);
  WriteWord(&work[2], length);
  StoreChannel(channelBytes, channel);
  std::memcpy(frame, work.data(), kHeaderBytes + 2 * size_t{static_cast<uint8_t>(length)});
  return QX_VOICE_OK;
}

uint32_t Decode(uint8_t* channelBytes, uint8_t* frame, int16_t* pcm, uint16_t* count) {
  *count = 0;
  if ((ReadWord(frame) & kMarkerMask) != QX_VOICE_FRAME_MARKER) return QX_VOICE_E_DEC_HEADER;
  const uint16_t length = ReadWord(frame + 2);
  if (length == 0) return QX_VOICE_E_DEC_LENGTH;
  VoiceChannel channel = LoadChannel(channelBytes);
  if (!IsSupportedCode(channel.code)) return QX_VOICE_E_DEC_CODEC;
  const auto samples = DecodePayload(channel, length, frame + kHeaderBytes, PcmOut(pcm, kMaxSamples));
  if (!samples) return QX_VOICE_E_DEC_LENGTH;
  StoreChannel(channelBytes, channel);
  *count = static_cast<uint16_t>(*samples);
  return QX_VOICE_OK;
}

// Raw G.711 becomes framed G.711 by swapping the bytes of each payload word.
// The length byte can name more words than the published frame capacity
// holds; such a frame would send the swap past the caller's buffer.
uint32_t SwapPayloadBytes(uint8_t* frame) {
  const size_t words = ReadWord(frame + 2) & 0xFF;
  if (kHeaderBytes + 2 * words > kFrameCapacityBytes) return QX_VOICE_E_DEC_LENGTH;
  for (size_t i = 0; i < words; ++i) std::swap(frame[kHeaderBytes + 2 * i], frame[kHeaderBytes + 2 * i + 1]);
  return QX_VOICE_OK;
}

}  // namespace

extern "C" {

uint32_t QX_VOICE_GetVersion(char* buffer) {
  if (!buffer) return QX_VOICE_E_VERSION_BUFFER;
  std::memcpy(buffer, kVersion, sizeof kVersion);
  return QX_VOICE_OK;
}

uint32_t QX_VOICE_EncReset(QxVoiceState* state, uint16_t code) {
  if (!state) return QX_VOICE_E_NULL_STATE;
  return Reset(Bytes(state), code, QX_VOICE_E_ENC_CODEC);
}

uint32_t QX_VOICE_DecReset(QxVoiceState* state, uint16_t code) {
  if (!state) return QX_VOICE_E_NULL_STATE;
  return Reset(Bytes(state), code, QX_VOICE_E_DEC_CODEC);
}

uint32_t QX_VOICE_EncodeFrame(QxVoiceState* state, const int16_t* pcm, void* frame, int16_t count) {
  if (!state) return QX_VOICE_E_NULL_STATE;
  if (!pcm) return QX_VOICE_E_NULL_INPUT;
  if (!frame) return QX_VOICE_E_NULL_OUTPUT;
  return Encode(Bytes(state), pcm, static_cast<uint8_t*>(frame), count);
}

uint32_t QX_VOICE_DecodeFrame(QxVoiceState* state, void* frame, int16_t* pcm, uint16_t* count) {
  if (!state) return QX_VOICE_E_NULL_STATE;
  if (!frame) return QX_VOICE_E_NULL_INPUT;
  if (!pcm || !count) return QX_VOICE_E_NULL_OUTPUT;
  return Decode(Bytes(state), static_cast<uint8_t*>(frame), pcm, count);
}

uint32_t QX_VOICE_TransCodeReset(QxVoiceState* state, int16_t code) {
  if (!state) return QX_VOICE_E_TRANS_NULL_STATE;
  if (code < QX_VOICE_TRANSCODE_ALAW || code > QX_VOICE_TRANSCODE_G726) return QX_VOICE_E_TRANS_CODEC;
  // 97..100 decode 65..68 and encode 1..4.
  Reset(Bytes(state) + kDecoderChannelOffset, static_cast<uint16_t>(code - 32), QX_VOICE_E_DEC_CODEC);
  Reset(Bytes(state), static_cast<uint16_t>(code - 96), QX_VOICE_E_ENC_CODEC);
  return QX_VOICE_OK;
}

uint32_t QX_VOICE_TransCodeFrame(QxVoiceState* state, void* frame) {
  if (!state) return QX_VOICE_E_TRANS_NULL_STATE;
  if (!frame) return QX_VOICE_E_NULL_INPUT;
  auto* bytes = static_cast<uint8_t*>(frame);
  switch (LoadChannel(Bytes(state)).code) {
    case QX_VOICE_G711_ALAW:
    case QX_VOICE_G711_ULAW:
      return SwapPayloadBytes(bytes);
    case QX_VOICE_IMA:
    case QX_VOICE_G726_16: {
      std::array<int16_t, kMaxSamples> pcm;
      uint16_t count = 0;
      const uint32_t decoded = Decode(Bytes(state) + kDecoderChannelOffset, bytes, pcm.data(), &count);
      if (decoded != QX_VOICE_OK) return decoded;
      return Encode(Bytes(state), pcm.data(), bytes, static_cast<int16_t>(count));
    }
    default:
      return QX_VOICE_E_TRANS_CODEC;
  }
}

}  // extern "C"
