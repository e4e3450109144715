#include "tests/codecs/audio/voice_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace voice_test {

std::vector<uint8_t> Frame(uint16_t marker, uint16_t length, std::vector<uint8_t> payload) {
  payload.resize(2 * size_t{length});
  std::vector<uint8_t> frame(4 + payload.size());
  frame[0] = static_cast<uint8_t>(marker & 0xFF);
  frame[1] = static_cast<uint8_t>(marker >> 8);
  frame[2] = static_cast<uint8_t>(length & 0xFF);
  frame[3] = static_cast<uint8_t>(length >> 8);
  std::copy(payload.begin(), payload.end(), frame.begin() + 4);
  return frame;
}

uint16_t Word(const std::vector<uint8_t>& frame, size_t index) {
  return static_cast<uint16_t>(frame.at(2 * index) | (frame.at(2 * index + 1) << 8));
}

Encoded Encode(QxVoiceState& state, const std::vector<int16_t>& pcm) {
  constexpr uint8_t kUntouched = 0xEE;
  std::vector<uint8_t> buffer(QX_VOICE_FRAME_CAPACITY, kUntouched);
  const uint32_t result =
      QX_VOICE_EncodeFrame(&state, pcm.data(), buffer.data(), static_cast<int16_t>(pcm.size()));
  if (result != QX_VOICE_OK) {
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == kUntouched; }));
    return {result, {}};
  }
  const size_t written = 4 + 2 * size_t{static_cast<uint8_t>(Word(buffer, 1))};
  EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<ptrdiff_t>(written), buffer.end(),
                          [](uint8_t b) { return b == kUntouched; }))
      << "wrote past 2 + L words";
  buffer.resize(written);
  return {result, buffer};
}

Decoded Decode(QxVoiceState& state, std::vector<uint8_t>& frame) {
  auto pcm = std::make_unique<int16_t[]>(QX_VOICE_MAX_SAMPLES);
  uint16_t count = 0xFFFF;
  const uint32_t result = QX_VOICE_DecodeFrame(&state, frame.data(), pcm.get(), &count);
  EXPECT_LE(count, QX_VOICE_MAX_SAMPLES);
  if (result != QX_VOICE_OK) {
    EXPECT_EQ(count, 0) << "count not cleared on failure";
  }
  return {result, std::vector<int16_t>(pcm.get(), pcm.get() + std::min<size_t>(count, QX_VOICE_MAX_SAMPLES))};
}

QxVoiceState EncoderFor(uint16_t code) {
  QxVoiceState state;
  EXPECT_EQ(QX_VOICE_EncReset(&state, code), QX_VOICE_OK);
  return state;
}

QxVoiceState DecoderFor(uint16_t code) {
  QxVoiceState state;
  EXPECT_EQ(QX_VOICE_DecReset(&state, code), QX_VOICE_OK);
  return state;
}

}  // namespace voice_test
