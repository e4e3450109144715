// IMA/DVI4 frames with the IMA ADPCM reference coder.  Code 3 carries the
// predictor and step index before the frame, then the codes with the
// earlier of each byte in the high nibble; code 35 carries the first sample
// whole (it is also the predictor) and the later samples' codes with the
// earlier in the low nibble; code 67 carries codes alone, high nibble first,
// and the predictor runs on in the state.  Codes of samples beyond the last
// whole word are not carried, but the state moves on with them.
#include "codecs/audio/voice_payload.h"

namespace codecs::audio::voice {
namespace {

constexpr size_t kCodesPerWord = 4;

// The reference coder's quantiser: bits 4, 2, 1 by successive comparison
// with step, step / 2 and step / 4.
unsigned QuantiseBySteps(int32_t difference, int32_t step) {
  unsigned code = difference < 0 ? 8u : 0u;
  int32_t magnitude = difference < 0 ? -difference : difference;
  for (unsigned bit = 4; bit != 0; bit >>= 1, step >>= 1) {
    if (magnitude >= step) {
      code |= bit;
      magnitude -= step;
    }
  }
  return code;
}

// Codes `pcm` and stores the first `carried` codes from payload byte
// `offset` on, two per byte.
void CodeSamples(ImaPredictor& predictor, std::span<const int16_t> pcm, size_t carried,
                 bool highNibbleFirst, std::span<uint8_t> payload, size_t offset) {
  for (size_t i = 0; i < pcm.size(); ++i) {
    const unsigned code = QuantiseBySteps(pcm[i] - predictor.value, predictor.Step());
    predictor.Reconstruct(code);
    if (i >= carried) continue;
    const bool first = (i & 1) == 0;
    const unsigned shift = (first == highNibbleFirst) ? 4 : 0;
    payload[offset + i / 2] = static_cast<uint8_t>(payload[offset + i / 2] | (code << shift));
  }
}

void DecodeCodes(ImaPredictor& predictor, const uint8_t* codes, size_t count, bool highNibbleFirst,
                 int16_t* pcm) {
  for (size_t i = 0; i < count; ++i) {
    const bool first = (i & 1) == 0;
    const unsigned shift = (first == highNibbleFirst) ? 4 : 0;
    pcm[i] = predictor.Reconstruct((codes[i / 2] >> shift) & 0x0F);
  }
}

}  // namespace

uint16_t EncodeIma(VoiceChannel& channel, std::span<const int16_t> pcm, std::span<uint8_t> payload) {
  const size_t n = pcm.size();
  switch (channel.code) {
    case QX_VOICE_IMA: {
      WriteWord(&payload[0], static_cast<uint16_t>(channel.ima.value));
      WriteWord(&payload[2], static_cast<uint16_t>(channel.ima.index));
      const size_t words = n / kCodesPerWord;
      CodeSamples(channel.ima, pcm, words * kCodesPerWord, true, payload, 4);
      return static_cast<uint16_t>(words + 2);
    }
    case QX_VOICE_IMA_FIRST_SAMPLE: {
      channel.ima.value = pcm[0];
      WriteWord(&payload[0], static_cast<uint16_t>(pcm[0]));
      WriteWord(&payload[2], static_cast<uint16_t>(channel.ima.index));
      const size_t words = (n - 1) / kCodesPerWord;
      CodeSamples(channel.ima, pcm.subspan(1), words * kCodesPerWord, false, payload, 4);
      return static_cast<uint16_t>(words + 2);
    }
    default: {
      const size_t words = n / kCodesPerWord;
      CodeSamples(channel.ima, pcm, words * kCodesPerWord, true, payload, 0);
      return static_cast<uint16_t>(words);
    }
  }
}

std::optional<size_t> DecodeIma(VoiceChannel& channel, uint16_t length, const uint8_t* payload,
                                PcmOut pcm) {
  const bool raw = channel.code == QX_VOICE_IMA_RAW;
  const int64_t codeWords = raw ? length : int64_t{length} - 2;
  const int64_t codes = codeWords * static_cast<int64_t>(kCodesPerWord);
  const bool firstSampleWhole = channel.code == QX_VOICE_IMA_FIRST_SAMPLE;
  const int64_t samples = codes + (firstSampleWhole ? 1 : 0);
  if (codes < 0 || samples > static_cast<int64_t>(kMaxSamples)) return std::nullopt;
  if (raw) {
    DecodeCodes(channel.ima, payload, static_cast<size_t>(codes), true, pcm.data());
    return static_cast<size_t>(samples);
  }
  const uint16_t stepIndex = ReadWord(payload + 2);
  if (stepIndex > kImaMaxStepIndex) return std::nullopt;
  channel.ima = {static_cast<int16_t>(ReadWord(payload)), stepIndex};
  int16_t* out = pcm.data();
  if (firstSampleWhole) *out++ = static_cast<int16_t>(channel.ima.value);
  DecodeCodes(channel.ima, payload + 4, static_cast<size_t>(codes), !firstSampleWhole, out);
  return static_cast<size_t>(samples);
}

}  // namespace codecs::audio::voice
