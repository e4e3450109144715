// CG723Coder: the count rule, its refusals, the first outputs from the
// initial state, and loud audio that must saturate instead of flipping sign.
#include "codecs/audio/g723_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "codecs/audio/bit_packing.h"

namespace {

using codecs::audio::CG723Coder;

TEST(CG723Coder, DecodesEightSamplesFromEveryThreeBytes) {
  struct Case {
    int bytes;
    int samples;
  };
  for (const Case c : {Case{3, 8}, Case{60, 160}, Case{1, 2}, Case{2, 5}, Case{0, 0}}) {
    CG723Coder coder;
    const std::vector<uint8_t> payload(static_cast<size_t>(c.bytes), 0x5A);
    std::vector<int16_t> out(static_cast<size_t>(c.samples) + 1, 12345);
    EXPECT_EQ(coder.Decode(payload.data(), c.bytes, out.data(), c.samples), c.samples) << c.bytes;
    EXPECT_EQ(out.back(), 12345) << "wrote past the count for " << c.bytes << " bytes";
  }
}

TEST(CG723Coder, CountingAndRefusalsLeaveTheStateAlone) {
  std::vector<uint8_t> payload(30);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<int16_t> reference(80), out(80, 7);
  CG723Coder fresh;
  ASSERT_EQ(fresh.Decode(payload.data(), 30, reference.data(), 80), 80);

  CG723Coder coder;
  EXPECT_EQ(coder.Decode(payload.data(), 30, nullptr, 0), 80);
  EXPECT_EQ(coder.Decode(payload.data(), 30, out.data(), 79), -1);
  EXPECT_EQ(out, std::vector<int16_t>(80, 7));
  EXPECT_EQ(coder.Decode(payload.data(), -3, out.data(), 80), -1);
  EXPECT_EQ(coder.Decode(nullptr, 30, out.data(), 80), -1);
  EXPECT_EQ(coder.Decode(payload.data(), 30, out.data(), 80), 80);
  EXPECT_EQ(out, reference);
}

TEST(CG723Coder, FirstOutputsFromTheInitialState) {
  struct Case {
    uint8_t code;
    int16_t first;
  };
  for (const Case c : {Case{0, 0}, Case{7, 0}, Case{3, 60}, Case{4, -60}}) {
    CG723Coder coder;
    std::array<int16_t, 2> out{};
    ASSERT_EQ(coder.Decode(&c.code, 1, out.data(), 2), 2);
    EXPECT_EQ(out[0], c.first) << "code " << int{c.code};
  }
}

TEST(CG723Coder, LoudAudioSaturatesInsteadOfWrapping) {
  // A full-scale, clipped tone, coded at 24 kbit/s: the decoder overshoots
  // at its edges.
  std::vector<int16_t> tone(8000);
  for (size_t i = 0; i < tone.size(); ++i) {
    const double phase = 2 * std::numbers::pi * 300 * static_cast<double>(i) / 8000;
    tone[i] = static_cast<int16_t>(std::clamp(3 * 32767 * std::sin(phase), -32768.0, 32767.0));
  }
  std::vector<uint8_t> payload(tone.size() * 3 / 8);
  codecs::audio::LsbFirstBitWriter writer(payload);
  codecs::audio::G726State encoder;
  for (const int16_t sample : tone) writer.Write(codecs::audio::G726Encode(encoder, codecs::audio::G726Rate::k24, sample), 3);

  CG723Coder coder;
  std::vector<int16_t> out(tone.size());
  ASSERT_EQ(coder.Decode(payload.data(), static_cast<int>(payload.size()), out.data(), static_cast<int>(out.size())),
            static_cast<int>(out.size()));
  size_t saturated = 0;
  for (size_t i = 0; i < tone.size(); ++i) {
    saturated += out[i] == 32767 || out[i] == -32768;
    if (tone[i] > 24000) {
      EXPECT_GT(out[i], 0) << "sign flipped at " << i;
    }
    if (tone[i] < -24000) {
      EXPECT_LT(out[i], 0) << "sign flipped at " << i;
    }
  }
  EXPECT_GT(saturated, 0u);
}

}  // namespace
