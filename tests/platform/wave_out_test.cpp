// The wave output layer: the null output's device contract (order of the
// buffers handed back, reset, close) and format checks.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/null_wave_out.h"
#include "platform/recording_message_target.h"
#include "platform/wave_out.h"

using namespace std::chrono_literals;
using namespace platform;

namespace {

constexpr WAVEFORMATEX kVoiceFormat{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};

std::vector<intptr_t> HandedBack(const RecordingMessageTarget& target) {
  std::vector<intptr_t> headers;
  for (const auto& message : target.Messages()) {
    if (message.message == MM_WOM_DONE) headers.push_back(message.lParam);
  }
  return headers;
}

TEST(WaveOutTest, RefusesFormatsItCannotPlayAtTheirRate) {
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  EXPECT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  EXPECT_NE(device, nullptr);
  WAVEFORMATEX stereo{WAVE_FORMAT_PCM, 2, 8000, 32000, 4, 16, 0};
  EXPECT_EQ(WaveOutOpen(device, stereo, target), WaveResult::Ok);
  for (auto change : std::vector<void (*)(WAVEFORMATEX&)>{
           [](WAVEFORMATEX& f) { f.formatTag = 2; },
           [](WAVEFORMATEX& f) { f.bitsPerSample = 12; },
           [](WAVEFORMATEX& f) { f.channels = 0; },
           [](WAVEFORMATEX& f) { f.samplesPerSec = 0; },
           [](WAVEFORMATEX& f) { f.blockAlign = 1; },
           [](WAVEFORMATEX& f) { f.avgBytesPerSec = 8000; }}) {
    WAVEFORMATEX format = kVoiceFormat;
    change(format);
    EXPECT_EQ(WaveOutOpen(device, format, target), WaveResult::BadFormat);
    EXPECT_EQ(device, nullptr);
  }
  EXPECT_EQ(WaveOutOpen(device, kVoiceFormat, nullptr), WaveResult::InvalidParameter);
}

TEST(WaveOutTest, NullDeviceHandsBuffersBackInWriteOrder) {
  ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>());
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  std::vector<uint8_t> memory(3 * 160);
  WAVEHDR headers[3];
  for (int i = 0; i < 3; ++i) {
    headers[i].data = memory.data() + 160 * i;
    headers[i].bufferLength = 160;  // 5 ms each
    EXPECT_EQ(device->Write(headers[i]), WaveResult::Unprepared);
    ASSERT_EQ(device->Prepare(headers[i]), WaveResult::Ok);
    ASSERT_EQ(device->Write(headers[i]), WaveResult::Ok);
  }
  EXPECT_EQ(device->Unprepare(headers[2]), WaveResult::StillPlaying);
  EXPECT_EQ(device->Close(), WaveResult::StillPlaying);
  ASSERT_TRUE(target->WaitForCount(3, 5s));
  const auto back = HandedBack(*target);
  ASSERT_EQ(back.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i], reinterpret_cast<intptr_t>(&headers[i]));
    EXPECT_TRUE(headers[i].flags & kWaveHeaderDone);
    EXPECT_EQ(device->Unprepare(headers[i]), WaveResult::Ok);
  }
  for (const auto& message : target->Messages()) {
    EXPECT_EQ(message.wParam, reinterpret_cast<uintptr_t>(device.get()));
  }
  EXPECT_EQ(device->Close(), WaveResult::Ok);
}

// A reset does not wait for the sound: every buffer comes back at once, in
// the order written.
TEST(WaveOutTest, NullDeviceResetHandsEverythingBackAtOnce) {
  ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>());
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  std::vector<uint8_t> memory(3 * 16000);
  WAVEHDR headers[3];
  for (int i = 0; i < 3; ++i) {
    headers[i].data = memory.data() + 16000 * i;
    headers[i].bufferLength = 16000;  // a second each
    ASSERT_EQ(device->Prepare(headers[i]), WaveResult::Ok);
    ASSERT_EQ(device->Write(headers[i]), WaveResult::Ok);
  }
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(device->Reset(), WaveResult::Ok);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  const auto back = HandedBack(*target);
  ASSERT_EQ(back.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(back[i], reinterpret_cast<intptr_t>(&headers[i]));
  EXPECT_EQ(device->Close(), WaveResult::Ok);
  EXPECT_EQ(device->Write(headers[0]), WaveResult::InvalidParameter);
}

}  // namespace
