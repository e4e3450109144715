// The wave output layer: the null output's device contract (order of the
// buffers handed back, reset, close) and format checks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/null_wave_out.h"
#include "platform/recording_message_target.h"
#include "platform/wave_out.h"
#include "tests/support/patience.h"

using namespace std::chrono_literals;
using namespace platform;
using testing_support::kPatience;

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
  ASSERT_TRUE(target->WaitForCount(3, kPatience));
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
// the order written.  The sound lasts three minutes, so a reset that waited
// for it would outlast any patience.
TEST(WaveOutTest, NullDeviceResetHandsEverythingBackAtOnce) {
  ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>());
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  constexpr size_t kMinute = 60 * 16000;
  std::vector<uint8_t> memory(3 * kMinute);
  WAVEHDR headers[3];
  for (int i = 0; i < 3; ++i) {
    headers[i].data = memory.data() + kMinute * i;
    headers[i].bufferLength = kMinute;
    ASSERT_EQ(device->Prepare(headers[i]), WaveResult::Ok);
    ASSERT_EQ(device->Write(headers[i]), WaveResult::Ok);
  }
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(device->Reset(), WaveResult::Ok);
  EXPECT_LT(std::chrono::steady_clock::now() - before, kPatience);
  const auto back = HandedBack(*target);
  ASSERT_EQ(back.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(back[i], reinterpret_cast<intptr_t>(&headers[i]));
  EXPECT_EQ(device->Close(), WaveResult::Ok);
  EXPECT_EQ(device->Write(headers[0]), WaveResult::InvalidParameter);
}

// A machine's clock woken every time a few milliseconds after the moment
// asked for, as a loaded machine wakes sleepers.
class LateWakingClock : public ManualClock {
 public:
  explicit LateWakingClock(uint32_t lateMs) : lateMs_(lateMs) {}
  void SleepMs(uint32_t milliseconds) override { Advance(uint64_t{milliseconds} + lateMs_); }

 private:
  const uint32_t lateMs_;
};

// Writes `count` buffers of `bytes` each, calls `written`, and waits until
// all are back.
void PlayBuffers(WaveOut& device, const RecordingMessageTarget& target, size_t count, uint32_t bytes,
                 const std::function<void()>& written = [] {}) {
  std::vector<uint8_t> memory(size_t{bytes} * count);
  std::vector<WAVEHDR> headers(count);
  const size_t before = target.Messages().size();
  for (size_t i = 0; i < count; ++i) {
    headers[i].data = memory.data() + size_t{bytes} * i;
    headers[i].bufferLength = bytes;
    ASSERT_EQ(device.Prepare(headers[i]), WaveResult::Ok);
    ASSERT_EQ(device.Write(headers[i]), WaveResult::Ok);
  }
  written();
  ASSERT_TRUE(target.WaitForCount(before + count, kPatience));
  for (WAVEHDR& header : headers) ASSERT_EQ(device.Unprepare(header), WaveResult::Ok);
}

// The null output keeps the format's rate by its clock: 32,000 bytes at
// 16,000 a second take 2000 ms of it.  Deadlines are absolute, so wake-ups
// late by 7 ms make the end late by 7 ms, not by 7 ms a piece; after a pause
// with nothing to play the pace starts afresh instead of catching up.
TEST(WaveOutTest, NullDeviceKeepsTheRateByItsClock) {
  LateWakingClock clock(7);
  ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>(clock));
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  PlayBuffers(*device, *target, 20, 1600);
  EXPECT_EQ(clock.NowMs(), 2000u + 7);
  clock.Advance(1000);  // a pause
  PlayBuffers(*device, *target, 1, 1600);
  EXPECT_EQ(clock.NowMs(), 3007u + 100 + 7);
  // Buffers not a whole number of milliseconds long do not drift: the end
  // stays within one late wake-up of the exact length.
  PlayBuffers(*device, *target, 30, 1001);
  const uint64_t exactEnd = 3007u + (1600 + 30 * 1001) * 1000 / 16000;
  EXPECT_GE(clock.NowMs(), exactEnd);
  EXPECT_LE(clock.NowMs(), exactEnd + 7);
  EXPECT_EQ(device->Close(), WaveResult::Ok);
}

// A sleeper woken once far too late (a stalled machine) while buffers are
// queued: the output catches up instead of starting its pace afresh, so the
// sound neither drifts behind nor loses the time it was stalled for.  The
// first sleep lasts until the test has queued every buffer.
class OnceStalledClock : public ManualClock {
 public:
  OnceStalledClock(uint32_t sleeps, uint32_t stallMs) : sleepsBefore_(sleeps), stallMs_(stallMs) {}
  void SleepMs(uint32_t milliseconds) override {
    while (!released_) std::this_thread::sleep_for(1ms);
    Advance(uint64_t{milliseconds} + (sleeps_++ == sleepsBefore_ ? stallMs_ : 0));
  }
  void Release() { released_ = true; }

 private:
  std::atomic<bool> released_{false};
  uint32_t sleeps_ = 0;  // the device's worker's alone
  const uint32_t sleepsBefore_;
  const uint32_t stallMs_;
};

TEST(WaveOutTest, NullDeviceCatchesUpAStallWhileBuffersAreQueued) {
  for (uint32_t stall : {40u, 500u}) {
    SCOPED_TRACE(stall);
    OnceStalledClock clock(30, stall);
    ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>(clock));
    auto target = std::make_shared<RecordingMessageTarget>();
    std::unique_ptr<WaveOut> device;
    ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
    PlayBuffers(*device, *target, 50, 1600, [&] { clock.Release(); });  // 5 s
    EXPECT_EQ(clock.NowMs(), 5000u);
    EXPECT_EQ(device->Close(), WaveResult::Ok);
  }
}

// The same on the machine's clock, within a bound loose enough for any
// machine: a sleep never ends early, so the sound never ends early either.
TEST(WaveOutTest, NullDeviceTakesAboutTheSoundsLengthInRealTime) {
  ScopedWaveOutBackend scoped(std::make_shared<NullWaveOutBackend>());
  auto target = std::make_shared<RecordingMessageTarget>();
  std::unique_ptr<WaveOut> device;
  ASSERT_EQ(WaveOutOpen(device, kVoiceFormat, target), WaveResult::Ok);
  const auto before = std::chrono::steady_clock::now();
  PlayBuffers(*device, *target, 5, 1600);
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_GE(took, 499ms);
  EXPECT_LT(took, kPatience);
  EXPECT_EQ(device->Close(), WaveResult::Ok);
}

}  // namespace
