// The play thread queues voice while the sound output's thread takes full
// buffers: every node reaches the output once, whole and in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "platform/null_wave_out.h"
#include "player/archive/vyx_format.h"
#include "player/sound/audio_frames.h"
#include "tests/support/manual_wave_out.h"
#include "tests/support/patience.h"
#include "tests/support/vyx_frames.h"

using namespace std::chrono_literals;

namespace {

using testing_support::MakeVyxFrame;

std::vector<uint8_t> Codes(size_t count) {
  std::mt19937 random(5);
  std::vector<uint8_t> codes(count);
  for (auto& c : codes) c = static_cast<uint8_t>(random());
  return codes;
}

// Frames of odd sizes, so that units span frames; the output's buffers
// come back as fast as another thread can hand them back.
TEST(AudioFramesConcurrencyTest, ProducerAndConsumerShareTheQueue) {
  auto backend = std::make_shared<platform::ManualWaveOutBackend>();
  platform::ScopedWaveOutBackend scoped(backend);
  constexpr size_t kNodes = 60;  // well inside the queue's bound
  const auto codes = Codes(kNodes * 960);
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    while (!done) {
      if (!backend->CompleteNext()) std::this_thread::yield();
    }
  });
  {
    CQxAudioFrames audio;
    for (size_t offset = 0; offset < codes.size();) {
      const size_t bytes = std::min<size_t>(codes.size() - offset, 77 + offset % 500);
      audio.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, {codes.data() + offset, codes.data() + offset + bytes}));
      offset += bytes;
    }
    // Every full node handed out before the output stops.
    ASSERT_TRUE(backend->WaitFor([&] { return audio.GetFullBufferCount() == 0; }, testing_support::kPatience));
    audio.StopAudio();
    EXPECT_FALSE(audio.GetSoundOut().IsPlaying());
  }
  done = true;
  consumer.join();

  // A reference queue whose output never opens: the same nodes, popped in
  // turn.
  auto noDevice = std::make_shared<platform::ManualWaveOutBackend>();
  noDevice->SetFailures({.open = true});
  platform::ScopedWaveOutBackend none(noDevice);
  CQxAudioFrames reference;
  reference.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, codes));
  std::vector<std::vector<uint8_t>> expected;
  for (;;) {
    CBuffer buffer(16000);
    reference.PopAudioBuffer(&buffer);
    if (buffer.Size() == 0) break;
    expected.emplace_back(buffer.Data(), buffer.Data() + buffer.Size());
  }
  std::vector<std::vector<uint8_t>> played;
  for (const auto& written : backend->Written()) {
    if (written.size() == 1920) played.push_back(written);
  }
  ASSERT_EQ(expected.size(), kNodes);
  ASSERT_EQ(played.size(), kNodes);
  for (size_t i = 0; i < kNodes; ++i) EXPECT_TRUE(played[i] == expected[i]) << "node " << i;
}

// The same through the null output, which takes buffers at the real-time
// rate on a thread of its own, while the play thread stops and restarts.
TEST(AudioFramesConcurrencyTest, StopWhileTheOutputTakesBuffers) {
  platform::ScopedWaveOutBackend scoped(std::make_shared<platform::NullWaveOutBackend>());
  const auto codes = Codes(20 * 960);
  CQxAudioFrames audio;
  for (int round = 0; round < 5; ++round) {
    for (size_t offset = 0; offset < codes.size(); offset += 320) {
      audio.PlayAudioFrame(MakeVyxFrame(FRAME_TYPE_VOICE, {codes.data() + offset, codes.data() + offset + 320}));
    }
    std::this_thread::sleep_for(5ms);
    audio.StopAudio();
    EXPECT_EQ(audio.GetFullBufferCount(), 0);
  }
}

}  // namespace
