// The voice library through its C interface: framing and count rules of
// every codec code, its refusals and result codes, the transcoder, and the
// G.711 and IMA/DVI4 coders against independent references.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "codecs/audio/bit_packing.h"
#include "codecs/audio/g711.h"
#include "codecs/audio/g726_core.h"
#include "codecs/audio/qx_voice.h"
#include "tests/codecs/audio/audio_test_support.h"
#include "tests/codecs/audio/voice_test_support.h"
#include "tests/support/test_support.h"

namespace {

using voice_test::Decode;
using voice_test::DecoderFor;
using voice_test::Encode;
using voice_test::EncoderFor;
using voice_test::Frame;
using voice_test::Word;

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::vector<int16_t> Speech(size_t count, uint32_t seed = 1) {
  return audio_test::SpeechLikeSignal(count, 12000, seed);
}

uint16_t StoredCode(const QxVoiceState& state) {
  uint16_t code;
  std::memcpy(&code, &state, sizeof code);
  return code;
}

TEST(VoiceLibrary, VersionString) {
  std::array<char, QX_VOICE_VERSION_SIZE> buffer;
  EXPECT_EQ(QX_VOICE_GetVersion(buffer.data()), QX_VOICE_OK);
  EXPECT_STREQ(buffer.data(), "QX_VOICE_VERSION=Qx1000_VOICELIB_V1.0.0.0");
  EXPECT_EQ(QX_VOICE_GetVersion(nullptr), 0xFFFFFFFFu);
}

TEST(VoiceLibrary, ThePlayersUlawFrameGives320Samples) {
  QxVoiceState state = DecoderFor(QX_VOICE_G711_ULAW);
  const auto payload = RandomBytes(320, 2);
  auto frame = Frame(0x0100, 160, payload);
  ASSERT_EQ(Word(frame, 0) | (Word(frame, 1) << 16), 0x00A00100);
  const auto decoded = Decode(state, frame);
  ASSERT_EQ(decoded.result, QX_VOICE_OK);
  ASSERT_EQ(decoded.pcm.size(), 320u);
  for (size_t i = 0; i < 320; ++i) ASSERT_EQ(decoded.pcm[i], codecs::audio::UlawToLinear(payload[i])) << i;
}

TEST(VoiceLibrary, G711FramesMatchTheG191Vectors) {
  ORLENTA_REQUIRE_TESTDATA(source, "g711/sweep.src");
  const auto sweep = audio_test::ReadWords(source);
  struct Case {
    uint16_t code;
    const char* codes;
    const char* expanded;
  };
  for (const Case c : {Case{QX_VOICE_G711_ALAW, "g711/sweep-r.a", "g711/sweep-r.a-a"},
                       Case{QX_VOICE_G711_ULAW, "g711/sweep-r.u", "g711/sweep-r.u-u"}}) {
    ORLENTA_REQUIRE_TESTDATA(codesFile, c.codes);
    ORLENTA_REQUIRE_TESTDATA(expandedFile, c.expanded);
    const auto codes = audio_test::ReadWords(codesFile);
    const auto expanded = audio_test::ReadWords(expandedFile);
    QxVoiceState encoder = EncoderFor(c.code), decoder = DecoderFor(c.code);
    size_t wrongCodes = 0, wrongSamples = 0;
    for (size_t at = 0; at + 480 <= sweep.size(); at += 480) {
      auto encoded = Encode(encoder, std::vector<int16_t>(sweep.begin() + static_cast<ptrdiff_t>(at),
                                                          sweep.begin() + static_cast<ptrdiff_t>(at + 480)));
      ASSERT_EQ(encoded.result, QX_VOICE_OK);
      for (size_t i = 0; i < 480; ++i) wrongCodes += encoded.frame[4 + i] != codes[at + i];
      const auto decoded = Decode(decoder, encoded.frame);
      ASSERT_EQ(decoded.pcm.size(), 480u);
      for (size_t i = 0; i < 480; ++i) wrongSamples += decoded.pcm[i] != expanded[at + i];
    }
    EXPECT_EQ(wrongCodes, 0u) << c.codes;
    EXPECT_EQ(wrongSamples, 0u) << c.expanded;
  }
}

TEST(VoiceLibrary, RawG711PutsTheEarlierCodeInTheHighByte) {
  const auto pcm = Speech(160);
  QxVoiceState framed = EncoderFor(QX_VOICE_G711_ALAW), raw = EncoderFor(QX_VOICE_G711_ALAW_RAW);
  const auto a = Encode(framed, pcm), b = Encode(raw, pcm);
  ASSERT_EQ(a.frame.size(), b.frame.size());
  for (size_t i = 4; i < a.frame.size(); ++i) EXPECT_EQ(a.frame[i], b.frame[i ^ 1]);
  QxVoiceState decoder = DecoderFor(QX_VOICE_G711_ALAW_RAW);
  auto frame = b.frame;
  const auto decoded = Decode(decoder, frame);
  for (size_t i = 0; i < 160; ++i)
    EXPECT_EQ(decoded.pcm[i], codecs::audio::AlawToLinear(codecs::audio::LinearToAlaw(pcm[i])));
}

struct LengthCase {
  uint16_t code;
  int16_t samples;
  uint16_t length;          // the encoder's length word
  size_t decodedSamples;    // what decoding that frame gives; 0 = refused
};

TEST(VoiceLibrary, EncoderLengthsAndWhatTheDecoderMakesOfThem) {
  const LengthCase cases[] = {
      {QX_VOICE_G711_ALAW, 160, 80, 160},      {QX_VOICE_G711_ULAW, 161, 80, 160},
      {QX_VOICE_G711_ULAW_RAW, 480, 240, 480}, {QX_VOICE_G711_ULAW, 100, 50, 0},
      {QX_VOICE_IMA, 161, 42, 160},            {QX_VOICE_IMA, 481, 122, 480},
      {QX_VOICE_IMA_FIRST_SAMPLE, 161, 42, 161}, {QX_VOICE_IMA_FIRST_SAMPLE, 481, 122, 481},
      {QX_VOICE_IMA_RAW, 161, 40, 160},        {QX_VOICE_IMA_RAW, 3, 0, 0},
      {QX_VOICE_G726_16, 481, 60, 480},        {QX_VOICE_G726_24, 160, 30, 160},
      {QX_VOICE_G726_32, 160, 40, 160},        {QX_VOICE_G726_40, 160, 50, 160},
      {QX_VOICE_G726_24, 161, 30, 160},        {QX_VOICE_G726_32, 120, 30, 0},
      {QX_VOICE_G726_16_MSB, 240, 30, 240},    {QX_VOICE_G726_24_MSB, 480, 90, 480},
      {QX_VOICE_G726_32_MSB, 80, 20, 80},      {QX_VOICE_G726_40_MSB, 400, 125, 400},
      {QX_VOICE_G726_16_WORDS, 160, 20, 160},  {QX_VOICE_G726_16_WORDS, 481, 60, 480},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE("code " + std::to_string(c.code) + ", " + std::to_string(c.samples) + " samples");
    QxVoiceState encoder = EncoderFor(c.code), decoder = DecoderFor(c.code);
    auto encoded = Encode(encoder, Speech(static_cast<size_t>(c.samples)));
    ASSERT_EQ(encoded.result, QX_VOICE_OK);
    EXPECT_EQ(Word(encoded.frame, 0), 0x0100);
    EXPECT_EQ(Word(encoded.frame, 1), c.length);
    const auto decoded = Decode(decoder, encoded.frame);
    EXPECT_EQ(decoded.result, c.decodedSamples ? QX_VOICE_OK : QX_VOICE_E_DEC_LENGTH);
    EXPECT_EQ(decoded.pcm.size(), c.decodedSamples);
  }
}

TEST(VoiceLibrary, EncoderRefusals) {
  const auto pcm = Speech(482);
  QxVoiceState state = EncoderFor(QX_VOICE_G711_ALAW);
  std::vector<uint8_t> frame(QX_VOICE_FRAME_CAPACITY);
  for (int16_t count : {int16_t{0}, int16_t{-1}, int16_t{482}, int16_t{32767}})
    EXPECT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), count), QX_VOICE_E_ENC_COUNT) << count;
  EXPECT_EQ(QX_VOICE_EncodeFrame(nullptr, pcm.data(), frame.data(), 160), QX_VOICE_E_NULL_STATE);
  EXPECT_EQ(QX_VOICE_EncodeFrame(&state, nullptr, frame.data(), 160), QX_VOICE_E_NULL_INPUT);
  EXPECT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data(), nullptr, 160), QX_VOICE_E_NULL_OUTPUT);
  // An unsupported code is stored all the same; the count is checked first.
  for (uint16_t code : {0, 8, 34, 40, 64, 69, 97, 0xFFFF}) {
    EXPECT_EQ(QX_VOICE_EncReset(&state, code), QX_VOICE_E_ENC_CODEC) << code;
    EXPECT_EQ(StoredCode(state), code);
    EXPECT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 0), QX_VOICE_E_ENC_COUNT);
    EXPECT_EQ(QX_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 160), QX_VOICE_E_ENC_CODEC);
  }
  EXPECT_EQ(QX_VOICE_EncReset(nullptr, 1), QX_VOICE_E_NULL_STATE);
}

struct RefusalCase {
  const char* what;
  uint16_t code;
  std::vector<uint8_t> frame;
  uint32_t result;
};

TEST(VoiceLibrary, DecoderRefusalsChangeNothingButTheCount) {
  std::vector<uint8_t> stepIndex89 = {0, 0, 89, 0};
  const RefusalCase cases[] = {
      {"marker bits 9-8 not 01", QX_VOICE_G711_ULAW, Frame(0x0200, 160), QX_VOICE_E_DEC_HEADER},
      {"length 0", QX_VOICE_G711_ULAW, Frame(0x0100, 0), QX_VOICE_E_DEC_LENGTH},
      {"100 samples", QX_VOICE_G711_ULAW, Frame(0x0100, 50), QX_VOICE_E_DEC_LENGTH},
      {"length wrapping to 80 samples in 16 bits", QX_VOICE_G711_ULAW, Frame(0x0100, 0x8028), QX_VOICE_E_DEC_LENGTH},
      {"G.726 32 kbit/s, 120 samples", QX_VOICE_G726_32, Frame(0x0100, 30), QX_VOICE_E_DEC_LENGTH},
      {"G.726 24 kbit/s, 85 samples", QX_VOICE_G726_24_MSB, Frame(0x0100, 16), QX_VOICE_E_DEC_LENGTH},
      {"code 68, high byte of the length set", QX_VOICE_G726_16_WORDS, Frame(0x0100, 0x0114), QX_VOICE_E_DEC_LENGTH},
      {"IMA with length 1", QX_VOICE_IMA, Frame(0x0100, 1), QX_VOICE_E_DEC_LENGTH},
      {"IMA, first sample whole, length 1", QX_VOICE_IMA_FIRST_SAMPLE, Frame(0x0100, 1), QX_VOICE_E_DEC_LENGTH},
      {"IMA with step index 89", QX_VOICE_IMA, Frame(0x0100, 10, stepIndex89), QX_VOICE_E_DEC_LENGTH},
      {"IMA first sample, step index 89", QX_VOICE_IMA_FIRST_SAMPLE, Frame(0x0100, 10, stepIndex89), QX_VOICE_E_DEC_LENGTH},
      {"raw IMA, 484 samples", QX_VOICE_IMA_RAW, Frame(0x0100, 121), QX_VOICE_E_DEC_LENGTH},
      {"raw IMA, 488 samples", QX_VOICE_IMA_RAW, Frame(0x0100, 122), QX_VOICE_E_DEC_LENGTH},
      {"IMA, 484 samples", QX_VOICE_IMA, Frame(0x0100, 123), QX_VOICE_E_DEC_LENGTH},
      {"unsupported code", 8, Frame(0x0100, 40), QX_VOICE_E_DEC_CODEC},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    QxVoiceState state;
    QX_VOICE_DecReset(&state, c.code);
    EXPECT_EQ(StoredCode(state), c.code);
    const QxVoiceState before = state;
    auto frame = c.frame;
    EXPECT_EQ(Decode(state, frame).result, c.result);
    EXPECT_EQ(std::memcmp(&before, &state, sizeof state), 0) << "state changed";
    EXPECT_EQ(frame, c.frame) << "payload changed";
  }
  EXPECT_EQ(QX_VOICE_DecReset(nullptr, 2), QX_VOICE_E_NULL_STATE);
}

TEST(VoiceLibrary, DecoderArgumentChecksAndTheMarkersOtherBits) {
  QxVoiceState state = DecoderFor(QX_VOICE_G711_ALAW);
  auto frame = Frame(0xFD00 | 0x0100, 80);
  std::array<int16_t, QX_VOICE_MAX_SAMPLES> pcm;
  uint16_t count = 99;
  EXPECT_EQ(QX_VOICE_DecodeFrame(nullptr, frame.data(), pcm.data(), &count), QX_VOICE_E_NULL_STATE);
  EXPECT_EQ(QX_VOICE_DecodeFrame(&state, nullptr, pcm.data(), &count), QX_VOICE_E_NULL_INPUT);
  EXPECT_EQ(QX_VOICE_DecodeFrame(&state, frame.data(), nullptr, &count), QX_VOICE_E_NULL_OUTPUT);
  EXPECT_EQ(QX_VOICE_DecodeFrame(&state, frame.data(), pcm.data(), nullptr), QX_VOICE_E_NULL_OUTPUT);
  EXPECT_EQ(count, 99);
  EXPECT_EQ(QX_VOICE_DecodeFrame(&state, frame.data(), pcm.data(), &count), QX_VOICE_OK);
  EXPECT_EQ(count, 160);
}

TEST(VoiceLibrary, ImaFirstSampleFramesDecodeLikeSoxDecodesTheSameBytesAsWavBlocks) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  // A code-35 payload is laid out as an IMA ADPCM WAV block.
  for (const uint16_t length : {uint16_t{2}, uint16_t{42}, uint16_t{122}}) {
    SCOPED_TRACE("length " + std::to_string(length));
    std::vector<uint8_t> blocks, ours;
    std::vector<int16_t> decodedByUs;
    for (uint32_t seed = 0; seed < 16; ++seed) {
      auto payload = RandomBytes(2 * size_t{length}, seed + 100u * length);
      payload[2] = static_cast<uint8_t>(payload[2] % 89);
      payload[3] = 0;
      blocks.insert(blocks.end(), payload.begin(), payload.end());
      QxVoiceState state = DecoderFor(QX_VOICE_IMA_FIRST_SAMPLE);
      auto frame = Frame(0x0100, length, payload);
      const auto decoded = Decode(state, frame);
      ASSERT_EQ(decoded.result, QX_VOICE_OK);
      decodedByUs.insert(decodedByUs.end(), decoded.pcm.begin(), decoded.pcm.end());
    }
    testing_support::ScratchDir dir("voice-ima-sox");
    audio_test::WriteImaWav(dir / "in.wav", blocks, 2 * length, 4 * (length - 2) + 1);
    ASSERT_EQ(testing_support::Run("sox '" + (dir / "in.wav").string() + "' -t raw -e signed-integer -b 16 -L '" +
                                   (dir / "out.raw").string() + "'"),
              0);
    EXPECT_EQ(audio_test::ReadWords(dir / "out.raw"), decodedByUs);
  }
}

TEST(VoiceLibrary, ImaFramesCarryTheStateAndReproduceTheSignal) {
  for (const uint16_t code : {QX_VOICE_IMA, QX_VOICE_IMA_FIRST_SAMPLE, QX_VOICE_IMA_RAW}) {
    SCOPED_TRACE("code " + std::to_string(code));
    // Whole words of codes, so that every coded sample is carried.
    const size_t frameSamples = code == QX_VOICE_IMA_FIRST_SAMPLE ? 161 : 160;
    const auto pcm = Speech(frameSamples * 50, 4);
    QxVoiceState encoder = EncoderFor(code), decoder = DecoderFor(code);
    std::vector<int16_t> decoded;
    for (size_t at = 0; at < pcm.size(); at += frameSamples) {
      auto encoded = Encode(encoder, std::vector<int16_t>(pcm.begin() + static_cast<ptrdiff_t>(at),
                                                          pcm.begin() + static_cast<ptrdiff_t>(at + frameSamples)));
      ASSERT_EQ(encoded.result, QX_VOICE_OK);
      const auto frame = Decode(decoder, encoded.frame);
      ASSERT_EQ(frame.pcm.size(), frameSamples);
      if (code == QX_VOICE_IMA_FIRST_SAMPLE) {
        EXPECT_EQ(frame.pcm[0], pcm[at]);
      }
      decoded.insert(decoded.end(), frame.pcm.begin(), frame.pcm.end());
    }
    EXPECT_GT(audio_test::SignalToNoiseDb(pcm, decoded), 18.0);
  }
}

TEST(VoiceLibrary, ImaNibbleOrdersOfTheThreeFramings) {
  // Code 35's layout is the WAV block's (checked against sox above); codes
  // 3 and 67 carry the same codes with the earlier in the high nibble.
  const auto codes = RandomBytes(40, 21);
  std::vector<uint8_t> swapped;
  for (const uint8_t byte : codes) swapped.push_back(static_cast<uint8_t>((byte >> 4) | (byte << 4)));
  std::vector<uint8_t> header = {0x34, 0x12, 0, 0};  // predictor 0x1234, step index 0
  std::vector<uint8_t> lowFirst = header, highFirst = header;
  lowFirst.insert(lowFirst.end(), codes.begin(), codes.end());
  highFirst.insert(highFirst.end(), swapped.begin(), swapped.end());
  QxVoiceState firstWhole = DecoderFor(QX_VOICE_IMA_FIRST_SAMPLE), framed = DecoderFor(QX_VOICE_IMA);
  auto frame35 = Frame(0x0100, 22, lowFirst), frame3 = Frame(0x0100, 22, highFirst);
  const auto out35 = Decode(firstWhole, frame35).pcm;
  const auto out3 = Decode(framed, frame3).pcm;
  ASSERT_EQ(out35.size(), 81u);
  EXPECT_EQ(out35[0], 0x1234);
  EXPECT_EQ(out3, std::vector<int16_t>(out35.begin() + 1, out35.end()));

  // Raw frames start from the reset state (predictor 0, index 0).
  header[0] = header[1] = 0;
  highFirst = header;
  highFirst.insert(highFirst.end(), swapped.begin(), swapped.end());
  QxVoiceState raw = DecoderFor(QX_VOICE_IMA_RAW), fromZero = DecoderFor(QX_VOICE_IMA);
  auto frame67 = Frame(0x0100, 20, swapped), frame3FromZero = Frame(0x0100, 22, highFirst);
  EXPECT_EQ(Decode(raw, frame67).pcm, Decode(fromZero, frame3FromZero).pcm);
}

TEST(VoiceLibrary, G726MostSignificantBitFirstFramesAndTheirInPlaceRewrite) {
  const auto pcm = Speech(160, 8);
  QxVoiceState lsb = EncoderFor(QX_VOICE_G726_24), msb = EncoderFor(QX_VOICE_G726_24_MSB);
  const auto a = Encode(lsb, pcm), b = Encode(msb, pcm);
  ASSERT_EQ(Word(b.frame, 1), 30);
  std::vector<uint8_t> rewritten(a.frame.begin() + 4, a.frame.end());
  codecs::audio::LsbFirstToMsbFirst(rewritten, 3);
  EXPECT_EQ(std::vector<uint8_t>(b.frame.begin() + 4, b.frame.end()), rewritten);
  // Decoding a code-37 frame leaves its payload least significant bit first.
  QxVoiceState decoder = DecoderFor(QX_VOICE_G726_24_MSB), reference = DecoderFor(QX_VOICE_G726_24);
  auto msbFrame = b.frame, lsbFrame = a.frame;
  EXPECT_EQ(Decode(decoder, msbFrame).pcm, Decode(reference, lsbFrame).pcm);
  EXPECT_EQ(msbFrame, a.frame);
}

TEST(VoiceLibrary, WordPackedG726IsTheFullG726CoderWithTheFirstCodeInTheTopBits) {
  // Loud enough for the slow scale factor to need far more than 16 bits.
  const auto pcm = audio_test::SpeechLikeSignal(160 * 50, 30000, 10);
  QxVoiceState encoder = EncoderFor(QX_VOICE_G726_16_WORDS), decoder = DecoderFor(QX_VOICE_G726_16_WORDS);
  codecs::audio::G726State core, coreDecoder;
  for (size_t at = 0; at < pcm.size(); at += 160) {
    auto encoded = Encode(encoder, std::vector<int16_t>(pcm.begin() + static_cast<ptrdiff_t>(at),
                                                        pcm.begin() + static_cast<ptrdiff_t>(at + 160)));
    ASSERT_EQ(Word(encoded.frame, 1), 20);
    for (size_t i = 0; i < 160; ++i) {
      const unsigned code = codecs::audio::G726Encode(core, codecs::audio::G726Rate::k16, pcm[at + i]);
      ASSERT_EQ((Word(encoded.frame, 2 + i / 8) >> (14 - 2 * (i % 8))) & 3u, code) << at + i;
    }
    const auto decoded = Decode(decoder, encoded.frame).pcm;
    ASSERT_EQ(decoded.size(), 160u);
    for (size_t i = 0; i < 160; ++i) {
      const unsigned code = (Word(encoded.frame, 2 + i / 8) >> (14 - 2 * (i % 8))) & 3u;
      ASSERT_EQ(decoded[i], codecs::audio::G726Decode(coreDecoder, codecs::audio::G726Rate::k16, code)) << at + i;
    }
  }
  EXPECT_GT(core.yl, 32767);
}

TEST(VoiceLibrary, ZeroMagnitudeCodesDecodeToSilenceFromAFreshState) {
  for (const uint16_t code : {QX_VOICE_G726_24, QX_VOICE_G726_32, QX_VOICE_G726_40}) {
    QxVoiceState state = DecoderFor(code);
    const uint16_t length = static_cast<uint16_t>(80 * (code - 2) / 16);
    auto frame = Frame(0x0100, length);
    const auto decoded = Decode(state, frame);
    ASSERT_EQ(decoded.pcm.size(), 80u) << code;
    EXPECT_EQ(decoded.pcm, std::vector<int16_t>(80, 0)) << code;
  }
}

TEST(VoiceLibrary, TranscoderArgumentsAndCodes) {
  QxVoiceState state;
  EXPECT_EQ(QX_VOICE_TransCodeReset(nullptr, 97), QX_VOICE_E_TRANS_NULL_STATE);
  for (int16_t code : {int16_t{96}, int16_t{101}, int16_t{-1}, int16_t{2}})
    EXPECT_EQ(QX_VOICE_TransCodeReset(&state, code), QX_VOICE_E_TRANS_CODEC) << code;
  auto frame = Frame(0x0100, 80);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(nullptr, frame.data()), QX_VOICE_E_TRANS_NULL_STATE);
  ASSERT_EQ(QX_VOICE_TransCodeReset(&state, 97), QX_VOICE_OK);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(&state, nullptr), QX_VOICE_E_NULL_INPUT);
  QxVoiceState notTranscoder = EncoderFor(QX_VOICE_G726_24);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(&notTranscoder, frame.data()), QX_VOICE_E_TRANS_CODEC);
}

TEST(VoiceLibrary, TranscodingRawG711SwapsEveryPayloadWord) {
  const auto pcm = Speech(160, 12);
  for (const auto& [transcode, rawCode, framedCode] :
       {std::tuple{QX_VOICE_TRANSCODE_ALAW, QX_VOICE_G711_ALAW_RAW, QX_VOICE_G711_ALAW},
        std::tuple{QX_VOICE_TRANSCODE_ULAW, QX_VOICE_G711_ULAW_RAW, QX_VOICE_G711_ULAW}}) {
    QxVoiceState raw = EncoderFor(static_cast<uint16_t>(rawCode)), framed = EncoderFor(static_cast<uint16_t>(framedCode));
    auto frame = Encode(raw, pcm).frame;
    QxVoiceState transcoder;
    ASSERT_EQ(QX_VOICE_TransCodeReset(&transcoder, static_cast<int16_t>(transcode)), QX_VOICE_OK);
    EXPECT_EQ(StoredCode(transcoder), framedCode);
    ASSERT_EQ(QX_VOICE_TransCodeFrame(&transcoder, frame.data()), QX_VOICE_OK);
    EXPECT_EQ(frame, Encode(framed, pcm).frame);
  }
}

TEST(VoiceLibrary, TranscodingImaAndWordPackedG726DecodesAndEncodesAgain) {
  const auto pcm = Speech(480 * 4, 14);
  struct Case {
    int16_t transcode;
    uint16_t source, target;
  };
  for (const Case c : {Case{QX_VOICE_TRANSCODE_IMA, QX_VOICE_IMA_RAW, QX_VOICE_IMA},
                       Case{QX_VOICE_TRANSCODE_G726, QX_VOICE_G726_16_WORDS, QX_VOICE_G726_16}}) {
    SCOPED_TRACE("transcoder " + std::to_string(c.transcode));
    QxVoiceState source = EncoderFor(c.source), decoder = DecoderFor(c.source), target = EncoderFor(c.target);
    QxVoiceState transcoder;
    ASSERT_EQ(QX_VOICE_TransCodeReset(&transcoder, c.transcode), QX_VOICE_OK);
    for (size_t at = 0; at < pcm.size(); at += 480) {
      auto frame = Encode(source, std::vector<int16_t>(pcm.begin() + static_cast<ptrdiff_t>(at),
                                                       pcm.begin() + static_cast<ptrdiff_t>(at + 480))).frame;
      auto copy = frame;
      const auto samples = Decode(decoder, copy).pcm;
      const auto expected = Encode(target, samples).frame;
      // The transcoded frame may be longer than the source (raw IMA gains
      // its two header words): the buffer has the published capacity.
      frame.resize(QX_VOICE_FRAME_CAPACITY);
      ASSERT_EQ(QX_VOICE_TransCodeFrame(&transcoder, frame.data()), QX_VOICE_OK);
      frame.resize(expected.size());
      EXPECT_EQ(frame, expected);
    }
  }
}

TEST(VoiceLibrary, TranscoderReportsTheErrorsOfItsDecodeStep) {
  QxVoiceState transcoder;
  ASSERT_EQ(QX_VOICE_TransCodeReset(&transcoder, QX_VOICE_TRANSCODE_IMA), QX_VOICE_OK);
  auto badMarker = Frame(0x0200, 40);
  badMarker.resize(QX_VOICE_FRAME_CAPACITY);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(&transcoder, badMarker.data()), QX_VOICE_E_DEC_HEADER);
  auto tooLong = Frame(0x0100, 121);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(&transcoder, tooLong.data()), QX_VOICE_E_DEC_LENGTH);
  ASSERT_EQ(QX_VOICE_TransCodeReset(&transcoder, QX_VOICE_TRANSCODE_G726), QX_VOICE_OK);
  auto notWholeBlocks = Frame(0x0100, 11);
  EXPECT_EQ(QX_VOICE_TransCodeFrame(&transcoder, notWholeBlocks.data()), QX_VOICE_E_DEC_LENGTH);
}

// The length byte of a raw G.711 frame may name up to 255 words; the swap
// stays inside the published capacity and refuses what does not fit.
TEST(VoiceLibrary, TranscodingG711StaysInsideTheFrameCapacity) {
  for (const int16_t transcode : {int16_t{QX_VOICE_TRANSCODE_ALAW}, int16_t{QX_VOICE_TRANSCODE_ULAW}}) {
    QxVoiceState transcoder;
    ASSERT_EQ(QX_VOICE_TransCodeReset(&transcoder, transcode), QX_VOICE_OK);
    auto overlong = std::make_unique<uint8_t[]>(QX_VOICE_FRAME_CAPACITY);
    const uint8_t start[] = {0x00, 0x01, 0xF1, 0x00};  // 0x00F1 = 241 words
    std::copy(std::begin(start), std::end(start), overlong.get());
    EXPECT_EQ(QX_VOICE_TransCodeFrame(&transcoder, overlong.get()), QX_VOICE_E_DEC_LENGTH);
    EXPECT_EQ(overlong[5], 0);  // untouched

    auto full = Frame(0x0100, 240);
    full[4] = 0x12;
    full[5] = 0x34;
    ASSERT_EQ(full.size(), size_t{QX_VOICE_FRAME_CAPACITY});
    ASSERT_EQ(QX_VOICE_TransCodeFrame(&transcoder, full.data()), QX_VOICE_OK);
    EXPECT_EQ(full[4], 0x34);
    EXPECT_EQ(full[5], 0x12);
  }
}

}  // namespace
