// Several threads at once: the voice library with a state per thread gives
// every thread the single-threaded result, and IMA ADPCM encoders share
// their carried step index without a data race.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/qx_voice.h"
#include "tests/codecs/audio/audio_test_support.h"
#include "tests/codecs/audio/voice_test_support.h"

namespace {

constexpr int kThreads = 6;

// Encodes the signal in frames of 160 samples and decodes them again.
std::vector<int16_t> RoundTrip(uint16_t code, const std::vector<int16_t>& pcm) {
  QxVoiceState encoder = voice_test::EncoderFor(code), decoder = voice_test::DecoderFor(code);
  std::vector<int16_t> out;
  for (size_t at = 0; at + 160 <= pcm.size(); at += 160) {
    auto frame = voice_test::Encode(encoder, std::vector<int16_t>(pcm.begin() + static_cast<ptrdiff_t>(at),
                                                                  pcm.begin() + static_cast<ptrdiff_t>(at + 160)))
                     .frame;
    const auto decoded = voice_test::Decode(decoder, frame).pcm;
    out.insert(out.end(), decoded.begin(), decoded.end());
  }
  return out;
}

TEST(AudioConcurrency, VoiceStatesOfTheirOwnGiveEveryThreadTheSameResult) {
  const auto pcm = audio_test::SpeechLikeSignal(160 * 60, 15000, 8);
  const std::array<uint16_t, 6> codes = {QX_VOICE_G711_ULAW, QX_VOICE_IMA, QX_VOICE_IMA_RAW,
                                         QX_VOICE_G726_32, QX_VOICE_G726_24_MSB, QX_VOICE_G726_16_WORDS};
  std::vector<std::vector<int16_t>> expected;
  for (const uint16_t code : codes) expected.push_back(RoundTrip(code, pcm));
  std::vector<std::vector<std::vector<int16_t>>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (const uint16_t code : codes) results[static_cast<size_t>(t)].push_back(RoundTrip(code, pcm));
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, expected);
}

TEST(AudioConcurrency, ImaAdpcmEncodersInSeveralThreads) {
  using codecs::audio::CAdpcm;
  const auto pcm = audio_test::SpeechLikeSignal(CAdpcm::kSamplesPerBlock * 60, 15000, 9);
  std::vector<double> snr(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      CAdpcm codec;
      std::vector<int16_t> decoded;
      for (size_t at = 0; at < pcm.size(); at += CAdpcm::kSamplesPerBlock) {
        std::array<int16_t, CAdpcm::kSamplesPerBlock> in, out;
        std::copy_n(pcm.begin() + static_cast<ptrdiff_t>(at), in.size(), in.begin());
        std::array<uint8_t, CAdpcm::kBlockBytes> block;
        codec.Encode(in, block);
        codec.Decode(block, out);
        decoded.insert(decoded.end(), out.begin(), out.end());
      }
      snr[static_cast<size_t>(t)] = audio_test::SignalToNoiseDb(pcm, decoded);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const double value : snr) EXPECT_GT(value, 20.0);
}

}  // namespace
