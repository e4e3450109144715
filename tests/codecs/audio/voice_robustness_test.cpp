// Bad input is normal input: random, truncated and nonsensical frames and
// states, every buffer exactly as large as the contract says, so that the
// sanitizers see any read or write outside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/g723_coder.h"
#include "codecs/audio/qx_voice.h"
#include "tests/codecs/audio/audio_test_support.h"
#include "tests/codecs/audio/voice_test_support.h"

namespace {

using voice_test::Decode;
using voice_test::Frame;

constexpr uint16_t kCodes[] = {1, 2, 3, 4, 5, 6, 7, 35, 36, 37, 38, 39, 65, 66, 67, 68};

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

// A state block as reset for `code`, or (now and then) as it was left in
// memory that was never reset, with just the code in front.
QxVoiceState StateFor(std::mt19937& random, uint16_t code, bool garbage) {
  QxVoiceState state;
  QX_VOICE_DecReset(&state, code);
  if (garbage) {
    const auto bytes = RandomBytes(random, sizeof state);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(&state));
    std::copy_n(reinterpret_cast<const uint8_t*>(&code), 2, reinterpret_cast<uint8_t*>(&state));
  }
  return state;
}

TEST(VoiceRobustness, RandomFramesDecodeOrAreRefused) {
  const std::set<uint32_t> allowed = {QX_VOICE_OK, QX_VOICE_E_DEC_LENGTH, QX_VOICE_E_DEC_HEADER};
  std::mt19937 random(1);
  for (const uint16_t code : kCodes) {
    size_t decoded = 0;
    for (int i = 0; i < 400; ++i) {
      QxVoiceState state = StateFor(random, code, i % 5 == 0);
      // Mostly lengths a codec may accept, some anything at all.
      const uint16_t length = static_cast<uint16_t>(i % 7 == 0 ? random() : random() % 260);
      const uint16_t marker = static_cast<uint16_t>(i % 3 == 0 ? random() : 0x0100);
      auto frame = Frame(marker, length, RandomBytes(random, 2 * size_t{length}));
      // IMA frames carry a step index in payload word 1: mostly a valid one.
      if (frame.size() >= 8 && i % 2 == 0) {
        frame[6] = static_cast<uint8_t>(random() % 100);
        frame[7] = 0;
      }
      const auto result = Decode(state, frame);
      EXPECT_TRUE(allowed.count(result.result)) << std::hex << result.result;
      decoded += result.result == QX_VOICE_OK;
    }
    EXPECT_GT(decoded, 0u) << "code " << code;
  }
}

TEST(VoiceRobustness, TruncatedFramesReadOnlyWhatTheirLengthSays) {
  const auto pcm = audio_test::SpeechLikeSignal(481, 30000, 2);
  for (const uint16_t code : kCodes) {
    QxVoiceState encoder;
    QX_VOICE_EncReset(&encoder, code);
    const auto full = voice_test::Encode(encoder, pcm).frame;
    const uint16_t length = voice_test::Word(full, 1);
    for (uint16_t shorter = 1; shorter <= length; ++shorter) {
      QxVoiceState decoder;
      QX_VOICE_DecReset(&decoder, code);
      auto frame = Frame(0x0100, shorter, std::vector<uint8_t>(full.begin() + 4, full.begin() + 4 + 2 * shorter));
      const auto result = Decode(decoder, frame);
      EXPECT_TRUE(result.result == QX_VOICE_OK || result.result == QX_VOICE_E_DEC_LENGTH)
          << "code " << code << " length " << shorter;
    }
  }
}

TEST(VoiceRobustness, EncodersTakeEveryCountFromAnyState) {
  std::mt19937 random(3);
  for (const uint16_t code : kCodes) {
    for (int16_t count = 1; count <= 481; count = static_cast<int16_t>(count + 1 + count / 8)) {
      QxVoiceState state = StateFor(random, code, count % 3 == 0);
      std::vector<int16_t> pcm(static_cast<size_t>(count));
      for (int16_t& s : pcm) s = static_cast<int16_t>(random() % 3 == 0 ? (random() & 1 ? 32767 : -32768) : random());
      auto frame = std::make_unique<uint8_t[]>(QX_VOICE_FRAME_CAPACITY);
      ASSERT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data(), frame.get(), count), QX_VOICE_OK)
          << "code " << code << " count " << count;
    }
  }
}

TEST(VoiceRobustness, TranscoderOnRandomFrames) {
  std::mt19937 random(4);
  for (int16_t transcode = QX_VOICE_TRANSCODE_ALAW; transcode <= QX_VOICE_TRANSCODE_G726; ++transcode) {
    for (int i = 0; i < 300; ++i) {
      QxVoiceState state;
      ASSERT_EQ(QX_VOICE_TransCodeReset(&state, transcode), QX_VOICE_OK);
      const uint16_t length = static_cast<uint16_t>(random() % 300);
      auto frame = Frame(static_cast<uint16_t>(i % 4 ? 0x0100 : random()), length, RandomBytes(random, 2 * size_t{length}));
      frame.resize(std::max<size_t>(frame.size(), QX_VOICE_FRAME_CAPACITY));
      QX_VOICE_TransCodeFrame(&state, frame.data());
    }
  }
}

TEST(CodecRobustness, G723CoderOnRandomPayloadsWithExactRoom) {
  std::mt19937 random(5);
  codecs::audio::CG723Coder coder;
  for (int i = 0; i < 300; ++i) {
    const auto payload = RandomBytes(random, random() % 1200);
    const int samples = static_cast<int>(payload.size() * 8 / 3);
    auto out = std::make_unique<int16_t[]>(static_cast<size_t>(samples) + 1);
    const int room = i % 4 == 0 ? samples - 1 : samples;
    const int result = coder.Decode(payload.data(), static_cast<int>(payload.size()), out.get(), room);
    EXPECT_EQ(result, room < samples ? -1 : samples);
  }
}

TEST(CodecRobustness, AdpcmOnRandomBlocks) {
  std::mt19937 random(6);
  codecs::audio::CAdpcm codec;
  for (int i = 0; i < 300; ++i) {
    std::array<uint8_t, codecs::audio::CAdpcm::kBlockBytes> block;
    for (uint8_t& b : block) b = static_cast<uint8_t>(random());
    std::array<int16_t, codecs::audio::CAdpcm::kSamplesPerBlock> pcm;
    codec.Decode(block, pcm);
    codec.Encode(pcm, block);
  }
}

}  // namespace
