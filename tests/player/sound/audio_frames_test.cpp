// The video box's audio frames: re-framing, decoding and queueing of voice,
// IMA ADPCM and G.723 payloads, and when the sound output starts.  The
// output runs against a wave output that hands nothing back unless told,
// so what the output was given can be read from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codecs/audio/g723_coder.h"
#include "player/archive/vyx_format.h"
#include "player/sound/audio_frames.h"
#include "tests/support/manual_wave_out.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

namespace {

using platform::ManualWaveOutBackend;

// µ-law expansion straight from G.711: complement, then sign, a 3-bit
// segment and a 4-bit step; the magnitude is ((step << 3) + 0x84) <<
// segment, less the bias 0x84, on the 16-bit scale.
int16_t ExpandUlaw(uint8_t code) {
  const int u = ~code & 0xFF;
  const int segment = (u >> 4) & 7;
  const int magnitude = ((((u & 0x0F) << 3) + 0x84) << segment) - 0x84;
  return static_cast<int16_t>((u & 0x80) ? -magnitude : magnitude);
}

std::vector<uint8_t> ExpandUlaw(const uint8_t* codes, size_t count) {
  std::vector<uint8_t> pcm;
  for (size_t i = 0; i < count; ++i) {
    const auto sample = static_cast<uint16_t>(ExpandUlaw(codes[i]));
    pcm.push_back(static_cast<uint8_t>(sample & 0xFF));
    pcm.push_back(static_cast<uint8_t>(sample >> 8));
  }
  return pcm;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

using testing_support::MakeVyxFrame;

class AudioFramesTest : public ::testing::Test {
 protected:
  AudioFramesTest() : scoped_(backend_) {}

  // The oldest full node, as the output would take it.
  std::vector<uint8_t> Pop() {
    CBuffer buffer(16000);
    audio_.PopAudioBuffer(&buffer);
    return {buffer.Data(), buffer.Data() + buffer.Size()};
  }
  // Keeps the output from starting, so the queue only fills.
  void NoDevice() { backend_->SetFailures({.open = true}); }

  std::shared_ptr<ManualWaveOutBackend> backend_ = std::make_shared<ManualWaveOutBackend>();
  platform::ScopedWaveOutBackend scoped_;
  CQxAudioFrames audio_;
};

// 100 bytes only accumulate; the next 220 complete one unit in the tail,
// which the output does not see until its node is full.
TEST_F(AudioFramesTest, VoiceAccumulatesIntoUnitsOfUlaw) {
  const auto codes = RandomBytes(960, 1);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, {codes.begin(), codes.begin() + 100}));
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  EXPECT_EQ(audio_.GetFullBufferCount(), 0);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, {codes.begin() + 100, codes.begin() + 320}));
  EXPECT_EQ(audio_.GetSubBufferIndex(), 1);
  EXPECT_EQ(audio_.GetFullBufferCount(), 0);
  EXPECT_TRUE(Pop().empty());

  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, {codes.begin() + 320, codes.end()}));
  EXPECT_EQ(audio_.GetFullBufferCount(), 1);
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  const auto node = Pop();
  ASSERT_EQ(node.size(), 1920u);
  EXPECT_EQ(std::vector<uint8_t>(node.begin(), node.begin() + 640), ExpandUlaw(codes.data(), 320));
  EXPECT_EQ(node, ExpandUlaw(codes.data(), 960));
  EXPECT_EQ(backend_->Opens(), 0u);
}

// Two blocks of a file sox encoded fill one node exactly as sox decodes
// them.
TEST_F(AudioFramesTest, ImaAdpcmBlocksDecodeAsSoxDoes) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  testing_support::ScratchDir dir("audio_frames_adpcm");
  const auto wav = dir / "ima.wav";
  const auto raw = dir / "decoded.raw";
  ASSERT_EQ(testing_support::Run("sox -n -r 8000 -c 1 -e ima-adpcm " + wav.string() +
                                 " synth 0.2 sine 300 sine 1250 2>/dev/null"), 0);
  ASSERT_EQ(testing_support::Run("sox " + wav.string() + " -t raw -e signed-integer -b 16 -L " +
                                 raw.string() + " 2>/dev/null"), 0);
  const auto file = testing_support::ReadFile(wav);
  const auto decoded = testing_support::ReadFile(raw);
  // The data chunk's blocks, 256 bytes of 505 samples each.
  const std::string chunk = "data";
  auto data = std::search(file.begin(), file.end(), chunk.begin(), chunk.end());
  ASSERT_NE(data, file.end());
  const auto blocks = data + 8;
  ASSERT_GE(file.end() - blocks, 512);
  ASSERT_GE(decoded.size(), 2020u);

  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_ADPCM, {blocks, blocks + 512}));
  EXPECT_EQ(audio_.GetFullBufferCount(), 1);
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  EXPECT_EQ(Pop(), std::vector<uint8_t>(decoded.begin(), decoded.begin() + 2020));
}

// Frames of one unit each: the output starts with the third full voice
// node, the second ADPCM node and the second G.723 node.
TEST_F(AudioFramesTest, StartThresholds) {
  struct Case {
    uint8_t type;
    size_t frameBytes;
    int framesToStart;
  };
  for (const Case& c : {Case{FRAME_TYPE_VOICE, 320, 9}, Case{FRAME_TYPE_ADPCM, 256, 4},
                        Case{FRAME_TYPE_G723, 3, 2}, Case{FRAME_TYPE_G723_A, 3, 2}}) {
    auto backend = std::make_shared<ManualWaveOutBackend>();
    platform::ScopedWaveOutBackend scoped(backend);
    CQxAudioFrames audio;
    for (int frame = 1; frame <= c.framesToStart; ++frame) {
      audio.PlayAudioFrame(MakeVyxFrame(c.type, RandomBytes(c.frameBytes, frame)));
      EXPECT_EQ(backend->Opens(), frame < c.framesToStart ? 0u : 1u)
          << "type " << int(c.type) << " frame " << frame;
    }
    // Starting took the full nodes at once; later units do not start again.
    EXPECT_EQ(audio.GetFullBufferCount(), 0);
    audio.PlayAudioFrame(MakeVyxFrame(c.type, RandomBytes(c.frameBytes * 20, 99)));
    EXPECT_EQ(backend->Opens(), 1u);
  }
}

TEST_F(AudioFramesTest, OtherTypesAreIgnored) {
  for (uint8_t type : {FRAME_TYPE_AUDIO_131, FRAME_TYPE_H264_I, FRAME_TYPE_JPEG}) {
    audio_.PlayAudioFrame(MakeVyxFrame(type, RandomBytes(4096, type)));
  }
  EXPECT_EQ(audio_.GetFullBufferCount(), 0);
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  EXPECT_TRUE(Pop().empty());
}

// G.723 payload sizes, in samples of 16 bits: 3 bytes carry 8 samples, 1
// byte 2.  4000 bytes make more PCM than one output buffer holds, so the
// payload goes into a full buffer and the rest, decoded as one stream.
TEST_F(AudioFramesTest, G723PayloadsSplitIntoOutputSizedNodes) {
  NoDevice();
  const auto payload = RandomBytes(4000, 7);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_G723, {payload.begin(), payload.begin() + 3}));
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_G723_A, {payload.begin() + 3, payload.begin() + 4}));
  EXPECT_EQ(Pop().size(), 16u);
  EXPECT_EQ(Pop().size(), 4u);

  CQxAudioFrames fresh;
  fresh.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_G723, payload));
  EXPECT_EQ(fresh.GetFullBufferCount(), 2);
  CBuffer first(16000), second(16000);
  fresh.PopAudioBuffer(&first);
  fresh.PopAudioBuffer(&second);
  ASSERT_EQ(first.Size(), 16000);
  ASSERT_EQ(second.Size(), 2 * (4000 * 8 / 3 - 8000));

  codecs::audio::CG723Coder reference;
  std::vector<int16_t> whole(4000 * 8 / 3);
  ASSERT_EQ(reference.Decode(payload.data(), 4000, whole.data(), static_cast<int>(whole.size())),
            static_cast<int>(whole.size()));
  std::vector<uint8_t> queued(first.Data(), first.Data() + first.Size());
  queued.insert(queued.end(), second.Data(), second.Data() + second.Size());
  ASSERT_EQ(queued.size(), whole.size() * 2);
  EXPECT_TRUE(std::equal(whole.begin(), whole.end(), reinterpret_cast<const int16_t*>(queued.data())));
}

// A change of coding closes a partly filled node at what it holds.
TEST_F(AudioFramesTest, MixedCodingsCloseThePartlyFilledNode) {
  NoDevice();
  const auto voice = RandomBytes(320, 3);
  const auto adpcm = RandomBytes(256, 4);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, voice));
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_ADPCM, adpcm));
  EXPECT_EQ(audio_.GetFullBufferCount(), 1);
  EXPECT_EQ(audio_.GetSubBufferIndex(), 1);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_G723, RandomBytes(3, 5)));
  EXPECT_EQ(audio_.GetFullBufferCount(), 3);
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, RandomBytes(640, 6)));
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_ADPCM, RandomBytes(768, 7)));

  EXPECT_EQ(Pop(), ExpandUlaw(voice.data(), voice.size()));
  EXPECT_EQ(Pop().size(), 1010u);
  EXPECT_EQ(Pop().size(), 16u);
  EXPECT_EQ(Pop().size(), 1280u);
  EXPECT_EQ(Pop().size(), 2020u);
  EXPECT_TRUE(Pop().empty());
  EXPECT_EQ(audio_.GetSubBufferIndex(), 1);

  // Stopping drops the partly filled tail too; the next frame starts anew.
  audio_.StopAudio();
  EXPECT_EQ(audio_.GetSubBufferIndex(), 0);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_ADPCM, RandomBytes(512, 8)));
  EXPECT_EQ(Pop().size(), 2020u);
}

// 200 kB of voice at once: twice the accumulator, taken in pieces.  With
// no output running the queue keeps about ten seconds, the newest.
TEST_F(AudioFramesTest, LargeVoicePayloadIsTakenInPiecesIntoABoundedQueue) {
  NoDevice();
  const auto codes = RandomBytes(204800 + 320, 11);
  audio_.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, codes));
  // 641 units: 213 full nodes and two units in the tail.
  EXPECT_EQ(audio_.GetSubBufferIndex(), 2);
  constexpr int32_t kNodes = CQxAudioFrames::kQueueLimitBytes / 1920;
  EXPECT_EQ(audio_.GetFullBufferCount(), kNodes - 1);
  const size_t firstKept = 213 - (kNodes - 1);
  EXPECT_EQ(Pop(), ExpandUlaw(codes.data() + firstKept * 960, 960));
  for (int i = 1; i < kNodes - 1; ++i) Pop();
  EXPECT_TRUE(Pop().empty());
}

}  // namespace
