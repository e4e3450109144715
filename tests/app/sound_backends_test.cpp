// The wave output the program chooses by ORLENTA_SOUND: the sound server,
// falling back to the null output, or the null output alone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/sound_backends.h"
#include "platform/recording_message_target.h"
#include "platform/trace.h"
#include "tests/support/patience.h"

using namespace std::chrono_literals;
using namespace platform;

namespace {

constexpr WAVEFORMATEX kVoiceFormat{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};

class SoundBackendsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"ORLENTA_SOUND", "PULSE_SERVER"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Without an answering server the output falls back to the null one, says
// so once (traced, and told to the user: why, and how to silence it), and
// still plays at its pace.
TEST_F(SoundBackendsTest, FallsBackToTheNullOutputWhenNoServerAnswers) {
  setenv("ORLENTA_SOUND", "pulse", 1);
  setenv("PULSE_SERVER", "unix:/nonexistent/orlenta/socket", 1);
  std::vector<std::string> traces, notices;
  ScopedTraceSink sink([&](std::string_view text) { traces.emplace_back(text); });
  auto backend = MakeSoundBackend([&](const std::string& text) { notices.push_back(text); });
  auto target = std::make_shared<RecordingMessageTarget>();
  for (int open = 0; open < 2; ++open) {
    std::unique_ptr<WaveOut> device;
    ASSERT_EQ(backend->Open(kVoiceFormat, target, device), WaveResult::Ok);
    std::vector<uint8_t> pcm(160);
    WAVEHDR header;
    header.data = pcm.data();
    header.bufferLength = 160;
    ASSERT_EQ(device->Prepare(header), WaveResult::Ok);
    ASSERT_EQ(device->Write(header), WaveResult::Ok);
    ASSERT_TRUE(target->WaitForCount(size_t(open + 1), testing_support::kPatience));
  }
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_NE(traces[0].find("No sound server answers"), std::string::npos) << traces[0];
  ASSERT_EQ(notices.size(), 1u);
  for (const char* part : {"the sound is off", "no PulseAudio server answers (", "ORLENTA_SOUND=null"})
    EXPECT_NE(notices[0].find(part), std::string::npos) << notices[0];
}

TEST_F(SoundBackendsTest, NullChosenByTheEnvironmentAsksNoServer) {
  setenv("ORLENTA_SOUND", "null", 1);
  setenv("PULSE_SERVER", "unix:/nonexistent/orlenta/socket", 1);
  std::vector<std::string> traces, notices;
  ScopedTraceSink sink([&](std::string_view text) { traces.emplace_back(text); });
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  const auto backend = MakeSoundBackend([&](const std::string& text) { notices.push_back(text); });
  EXPECT_EQ(backend->Open(kVoiceFormat, target, device), WaveResult::Ok);
  EXPECT_TRUE(traces.empty());
  EXPECT_TRUE(notices.empty());
}

// A name off the list is said once, then the default (the server, here
// falling back to the null output) plays.
TEST_F(SoundBackendsTest, UnknownNameTakesTheDefault) {
  setenv("ORLENTA_SOUND", "alsa", 1);
  setenv("PULSE_SERVER", "unix:/nonexistent/orlenta/socket", 1);
  std::vector<std::string> traces;
  ScopedTraceSink sink([&](std::string_view text) { traces.emplace_back(text); });
  auto backend = MakeSoundBackend();
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_NE(traces[0].find("ORLENTA_SOUND=alsa is not known (pulse, null)"), std::string::npos)
      << traces[0];
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  EXPECT_EQ(backend->Open(kVoiceFormat, target, device), WaveResult::Ok);
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_NE(traces[1].find("No sound server answers"), std::string::npos) << traces[1];
}

}  // namespace
