// The G.726 coders against libspandsp, which is bit-exact with the
// recommendation at all four rates in both packings: the core one sample at
// a time, the voice library's frames of codes 4-7 and 36-39, and the
// 24 kbit/s decoder of the archives' audio.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

#ifdef ORLENTA_HAVE_SPANDSP

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <spandsp/telephony.h>
#include <spandsp/bitstream.h>
#include <spandsp/g726.h>
}

#include "codecs/audio/g723_coder.h"
#include "codecs/audio/g726_core.h"
#include "codecs/audio/qx_voice.h"
#include "tests/codecs/audio/audio_test_support.h"

namespace {

using codecs::audio::BitsPerCode;
using codecs::audio::G726Rate;
using codecs::audio::G726State;

constexpr std::array<G726Rate, 4> kRates = {G726Rate::k16, G726Rate::k24, G726Rate::k32,
                                            G726Rate::k40};

class Reference {
 public:
  Reference(G726Rate rate, int packing)
      : state_(g726_init(nullptr, 8000 * BitsPerCode(rate), G726_ENCODING_LINEAR, packing)) {}
  ~Reference() { g726_free(state_); }
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;

  std::vector<uint8_t> Encode(const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out(pcm.size() + 8);
    out.resize(static_cast<size_t>(g726_encode(state_, out.data(), pcm.data(), static_cast<int>(pcm.size()))));
    return out;
  }
  std::vector<int16_t> Decode(const std::vector<uint8_t>& data, size_t samples) {
    std::vector<int16_t> out(samples + 16);
    out.resize(static_cast<size_t>(g726_decode(state_, out.data(), data.data(), static_cast<int>(data.size()))));
    return out;
  }

 private:
  g726_state_t* state_;
};

// The reference stores sr * 4 in 16 bits, so a loud reconstruction wraps
// (mostly to the other sign); ours saturates.  Those are the only
// differences allowed.
struct Comparison {
  size_t saturated = 0;
  size_t wrong = 0;
};

void Compare(int16_t ours, int16_t reference, Comparison& result) {
  if (ours == reference) return;
  ++((ours == 32767 || ours == -32768) ? result.saturated : result.wrong);
}

struct SignalCase {
  const char* name;
  int peak;
};
constexpr SignalCase kSignals[] = {{"moderate", 6000}, {"near full scale", 32000}};

constexpr size_t kSignalLength = 8000 * 20;

TEST(G726AgainstSpandsp, CoreCodesAndDecodesBitExactlyAtEveryRate) {
  for (const SignalCase& signal : kSignals) {
    const auto pcm = audio_test::SpeechLikeSignal(kSignalLength, signal.peak, 5);
    for (G726Rate rate : kRates) {
      Reference encoder(rate, G726_PACKING_NONE), decoder(rate, G726_PACKING_NONE);
      const std::vector<uint8_t> expectedCodes = encoder.Encode(pcm);
      ASSERT_EQ(expectedCodes.size(), pcm.size());
      const std::vector<int16_t> expectedPcm = decoder.Decode(expectedCodes, pcm.size());
      G726State encoderState, decoderState;
      size_t wrongCodes = 0;
      Comparison samples;
      for (size_t i = 0; i < pcm.size(); ++i) {
        wrongCodes += codecs::audio::G726Encode(encoderState, rate, pcm[i]) != expectedCodes[i];
        Compare(codecs::audio::G726Decode(decoderState, rate, expectedCodes[i]), expectedPcm[i], samples);
      }
      EXPECT_EQ(wrongCodes, 0u) << signal.name << " at " << BitsPerCode(rate) << " bits";
      EXPECT_EQ(samples.wrong, 0u) << signal.name << " at " << BitsPerCode(rate) << " bits";
      RecordProperty(std::string(signal.name) + " " + std::to_string(BitsPerCode(rate)) + " bits saturated",
                     std::to_string(samples.saturated));
    }
  }
}

// Encodes frames of 160 samples with the voice library and returns the
// payloads one after the other.
std::vector<uint8_t> VoicePayloads(uint16_t code, const std::vector<int16_t>& pcm) {
  QxVoiceState state;
  EXPECT_EQ(QX_VOICE_EncReset(&state, code), QX_VOICE_OK);
  std::vector<uint8_t> payloads;
  for (size_t at = 0; at + 160 <= pcm.size(); at += 160) {
    std::array<uint8_t, QX_VOICE_FRAME_CAPACITY> frame{};
    EXPECT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data() + at, frame.data(), 160), QX_VOICE_OK);
    const size_t length = frame[2] | (frame[3] << 8);
    payloads.insert(payloads.end(), frame.begin() + 4, frame.begin() + 4 + static_cast<ptrdiff_t>(2 * length));
  }
  return payloads;
}

std::vector<int16_t> VoiceDecode(uint16_t code, const std::vector<uint8_t>& payloads, size_t frameBytes) {
  QxVoiceState state;
  EXPECT_EQ(QX_VOICE_DecReset(&state, code), QX_VOICE_OK);
  std::vector<int16_t> pcm;
  for (size_t at = 0; at + frameBytes <= payloads.size(); at += frameBytes) {
    std::vector<uint8_t> frame = {0x00, 0x01, static_cast<uint8_t>(frameBytes / 2), 0};
    frame.insert(frame.end(), payloads.begin() + static_cast<ptrdiff_t>(at),
                 payloads.begin() + static_cast<ptrdiff_t>(at + frameBytes));
    std::array<int16_t, QX_VOICE_MAX_SAMPLES> out;
    uint16_t count = 0;
    EXPECT_EQ(QX_VOICE_DecodeFrame(&state, frame.data(), out.data(), &count), QX_VOICE_OK);
    pcm.insert(pcm.end(), out.begin(), out.begin() + count);
  }
  return pcm;
}

TEST(G726AgainstSpandsp, VoiceFramesCarryTheReferencePackings) {
  const auto pcm = audio_test::SpeechLikeSignal(160 * 100, 20000, 9);
  for (G726Rate rate : kRates) {
    const int bits = BitsPerCode(rate);
    const size_t frameBytes = 160 * static_cast<size_t>(bits) / 8;
    for (const auto& [code, packing] : {std::pair{uint16_t(QX_VOICE_G726_16 + bits - 2), G726_PACKING_RIGHT},
                                        std::pair{uint16_t(QX_VOICE_G726_16_MSB + bits - 2), G726_PACKING_LEFT}}) {
      Reference encoder(rate, packing), decoder(rate, packing);
      const std::vector<uint8_t> expected = encoder.Encode(pcm);
      EXPECT_EQ(VoicePayloads(code, pcm), expected) << "code " << code;
      EXPECT_EQ(VoiceDecode(code, expected, frameBytes), decoder.Decode(expected, pcm.size()))
          << "code " << code;
    }
  }
}

TEST(G726AgainstSpandsp, G723CoderDecodesPayloadsLikeTheReference) {
  std::mt19937 random(17);
  std::vector<uint8_t> payload(3 * 4000);
  for (uint8_t& byte : payload) byte = static_cast<uint8_t>(random());
  Reference reference(G726Rate::k24, G726_PACKING_RIGHT);
  const std::vector<int16_t> expected = reference.Decode(payload, payload.size() * 8 / 3);
  codecs::audio::CG723Coder coder;
  std::vector<int16_t> decoded;
  // Payloads of assorted lengths, each a whole number of 3-byte groups.
  for (size_t at = 0, n = 3; at < payload.size(); at += n, n = 3 * (1 + random() % 40)) {
    n = std::min(n, payload.size() - at);
    std::vector<int16_t> out(n * 8 / 3);
    ASSERT_EQ(coder.Decode(payload.data() + at, static_cast<int>(n), out.data(), static_cast<int>(out.size())),
              static_cast<int>(out.size()));
    decoded.insert(decoded.end(), out.begin(), out.end());
  }
  ASSERT_EQ(decoded.size(), expected.size());
  Comparison samples;
  for (size_t i = 0; i < decoded.size(); ++i) Compare(decoded[i], expected[i], samples);
  EXPECT_EQ(samples.wrong, 0u);
  // Random codes are loud: the reference flips sign where we saturate.
  EXPECT_GT(samples.saturated, 0u);
}

}  // namespace

#else

TEST(G726AgainstSpandsp, Skipped) { ORLENTA_ABSENT("libspandsp-dev absent: the spandsp oracle is not built"); }

#endif
