// G.726 frames.  Codes 4 to 7 pack the codes least significant bit first,
// codes 36 to 39 most significant bit first; bits that do not fill a whole
// word are not carried.  Code 68 packs eight 16 kbit/s codes a word, the
// first in bits 15-14.
#include "codecs/audio/bit_packing.h"
#include "codecs/audio/voice_payload.h"

namespace codecs::audio::voice {
namespace {

constexpr size_t kCodesPerWord68 = 8;

G726Rate RateOf(uint16_t code) {
  switch (code) {
    case QX_VOICE_G726_24:
    case QX_VOICE_G726_24_MSB: return G726Rate::k24;
    case QX_VOICE_G726_32:
    case QX_VOICE_G726_32_MSB: return G726Rate::k32;
    case QX_VOICE_G726_40:
    case QX_VOICE_G726_40_MSB: return G726Rate::k40;
    default: return G726Rate::k16;
  }
}

bool IsMsbFirst(uint16_t code) { return code >= QX_VOICE_G726_16_MSB; }

}  // namespace

uint16_t EncodeG726(VoiceChannel& channel, std::span<const int16_t> pcm,
                    std::span<uint8_t> payload) {
  const G726Rate rate = RateOf(channel.code);
  const int bits = BitsPerCode(rate);
  const size_t length = pcm.size() * static_cast<size_t>(bits) / 16;
  LsbFirstBitWriter writer(payload.first(2 * length));
  for (size_t i = 0; i < (pcm.size() & ~size_t{1}); ++i)
    writer.Write(G726Encode(channel.g726, rate, pcm[i]), bits);
  if (IsMsbFirst(channel.code)) LsbFirstToMsbFirst(payload.first(2 * length), bits);
  return static_cast<uint16_t>(length);
}

std::optional<size_t> DecodeG726(VoiceChannel& channel, uint16_t length, uint8_t* payload,
                                 PcmOut pcm) {
  const G726Rate rate = RateOf(channel.code);
  const int bits = BitsPerCode(rate);
  const size_t samples = size_t{length} * 16 / static_cast<size_t>(bits);
  if (!IsWholeBlockCount(static_cast<int64_t>(samples))) return std::nullopt;
  const std::span<uint8_t> bytes(payload, 2 * size_t{length});
  if (IsMsbFirst(channel.code)) MsbFirstToLsbFirst(bytes, bits);
  LsbFirstBitReader reader(bytes);
  for (size_t i = 0; i < samples; ++i) pcm[i] = G726Decode(channel.g726, rate, reader.Read(bits));
  return samples;
}

uint16_t EncodeG726Words(VoiceChannel& channel, std::span<const int16_t> pcm,
                         std::span<uint8_t> payload) {
  const size_t words = pcm.size() / kCodesPerWord68;
  uint16_t word = 0;
  for (size_t i = 0; i < pcm.size(); ++i) {
    word = static_cast<uint16_t>((word << 2) | G726Encode(channel.g726, G726Rate::k16, pcm[i]));
    if (i % kCodesPerWord68 == kCodesPerWord68 - 1)
      WriteWord(&payload[2 * (i / kCodesPerWord68)], word);
  }
  return static_cast<uint16_t>(words);
}

std::optional<size_t> DecodeG726Words(VoiceChannel& channel, uint16_t length,
                                      const uint8_t* payload, PcmOut pcm) {
  const size_t samples = size_t{length} * kCodesPerWord68;
  if (!IsWholeBlockCount(static_cast<int64_t>(samples))) return std::nullopt;
  for (size_t i = 0; i < samples; ++i) {
    const uint16_t word = ReadWord(payload + 2 * (i / kCodesPerWord68));
    const unsigned shift = 14 - 2 * static_cast<unsigned>(i % kCodesPerWord68);
    pcm[i] = G726Decode(channel.g726, G726Rate::k16, (word >> shift) & 3u);
  }
  return samples;
}

}  // namespace codecs::audio::voice
