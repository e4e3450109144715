// The sound output against a wave output that hands buffers back only when
// the test says so, and against the null output's real-time pace.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/null_wave_out.h"
#include "player/sound/sound_out.h"
#include "tests/support/manual_wave_out.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

using namespace std::chrono_literals;
using platform::ManualWaveOutBackend;

namespace {

// The owner's side of the fill callback: what each fill saw, and a rule
// for how many bytes it writes.
class FillSource {
 public:
  struct Call {
    int32_t sizeOnEntry;
    int32_t capacity;
    std::thread::id thread;
  };

  explicit FillSource(std::function<int32_t(size_t call)> bytes) : bytes_(std::move(bytes)) {}

  static int Fill(CBuffer* buffer, void* user) {
    auto* self = static_cast<FillSource*>(user);
    std::lock_guard lock(self->mutex_);
    const size_t call = self->calls_.size();
    self->calls_.push_back({buffer->Size(), buffer->Capacity(), std::this_thread::get_id()});
    const int32_t bytes = std::min(self->bytes_(call), buffer->Capacity());
    for (int32_t i = 0; i < bytes; ++i) buffer->Data()[i] = static_cast<uint8_t>(call + 1);
    buffer->SetSize(bytes);
    return 1;
  }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::function<int32_t(size_t)> bytes_;
  std::vector<Call> calls_;
};

class SoundOutTest : public ::testing::Test {
 protected:
  SoundOutTest() : scoped_(backend_) {}

  bool WaitFor(const std::function<bool()>& condition) const {
    return backend_->WaitFor(condition, testing_support::kPatience);
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const auto& entry : backend_->Log()) {
      if (entry.rfind("write", 0) == 0) writes.push_back(entry);
    }
    return writes;
  }

  std::shared_ptr<ManualWaveOutBackend> backend_ = std::make_shared<ManualWaveOutBackend>();
  platform::ScopedWaveOutBackend scoped_;
};

TEST_F(SoundOutTest, StartNeedsCallbackAndUserPointer) {
  FillSource source([](size_t) { return 0; });
  struct Case {
    const char* name;
    CSoundOut::FillCallback callback;
    void* user;
  };
  for (const Case& c : {Case{"neither", nullptr, nullptr},
                        Case{"no callback", nullptr, &source},
                        Case{"no user pointer", &FillSource::Fill, nullptr}}) {
    CSoundOut out;
    out.SetCallback(c.callback, c.user);
    EXPECT_FALSE(out.start()) << c.name;
    EXPECT_FALSE(out.IsDeviceOpen()) << c.name;
  }
  EXPECT_EQ(backend_->Opens(), 0u);
  EXPECT_TRUE(source.Calls().empty());
}

TEST_F(SoundOutTest, SecondStartIsRefusedAndQueuesNothing) {
  FillSource source([](size_t) { return 100; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  EXPECT_FALSE(out.start());
  EXPECT_EQ(backend_->Opens(), 1u);
  EXPECT_EQ(backend_->BuffersOut(), 3u);
  EXPECT_EQ(source.Calls().size(), 3u);
}

// The video box's settings: 16000-byte buffers.  The first three fills see
// the capacity as size; later fills see what the buffer last carried, with
// the capacity still whole, and run on the output's own thread.
TEST_F(SoundOutTest, BuffersCirculateWithCapacityKeptApartFromLength) {
  FillSource source([](size_t call) { return call < 3 ? 100 * int32_t(call + 1) : 16000; });
  CSoundOut out;
  out.SetBufferSize(8000);
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  EXPECT_EQ(Writes(), (std::vector<std::string>{"write 100", "write 200", "write 300"}));

  ASSERT_TRUE(backend_->CompleteNext());
  ASSERT_TRUE(WaitFor([&] { return backend_->BuffersOut() == 3; }));
  const auto calls = source.Calls();
  ASSERT_EQ(calls.size(), 4u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(calls[i].sizeOnEntry, 16000);
    EXPECT_EQ(calls[i].thread, std::this_thread::get_id());
  }
  EXPECT_EQ(calls[3].sizeOnEntry, 100);
  EXPECT_EQ(calls[3].capacity, 16000);
  EXPECT_NE(calls[3].thread, std::this_thread::get_id());
  EXPECT_EQ(Writes().back(), "write 16000");
  // The refilled buffer is the first one's memory, carrying the new fill.
  const auto written = backend_->Written();
  EXPECT_EQ(written.back(), std::vector<uint8_t>(16000, 4));
}

TEST_F(SoundOutTest, EmptyQueueKeepsThreeSilentBuffersCycling) {
  FillSource source([](size_t) { return 0; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(backend_->CompleteNext());
    ASSERT_TRUE(WaitFor([&] { return backend_->Written().size() == size_t(4 + i); }));
  }
  EXPECT_EQ(backend_->BuffersOut(), 3u);
  EXPECT_EQ(out.GetBuffersOut(), 3);
  const auto written = backend_->Written();
  for (size_t i = 0; i < written.size(); ++i) {
    if (i < 3) {
      EXPECT_TRUE(written[i].empty()) << i;
    } else {
      EXPECT_EQ(written[i], std::vector<uint8_t>(192, 0)) << i;
    }
  }
}

// A dry queue while sound is still out: the buffer that came back waits for
// the next completion instead of carrying silence into the middle of the
// sound; once no sound is out, silence keeps the device running.  The sound
// counts as unheard until 150 ms of silence have come back after it.
TEST_F(SoundOutTest, NoSilenceIsWrittenBehindSoundStillOut) {
  const std::vector<int32_t> sizes = {100, 100, 0, 0, 300};  // then nothing
  FillSource source([&](size_t call) { return call < sizes.size() ? sizes[call] : 0; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  // Fill calls after each completion: the buffers held back are asked again.
  for (size_t calls : {4u, 6u, 8u, 11u}) {
    ASSERT_TRUE(backend_->CompleteNext());
    ASSERT_TRUE(WaitFor([&] { return source.Calls().size() == calls; })) << calls;
  }
  EXPECT_EQ(Writes(), (std::vector<std::string>{"write 100", "write 100", "write 0", "write 300", "write 192",
                                                "write 192", "write 192"}));
  EXPECT_TRUE(out.IsSoundUnheard());
  for (size_t calls = 12; calls <= 23; ++calls) {
    ASSERT_TRUE(backend_->CompleteNext());
    ASSERT_TRUE(WaitFor([&] { return source.Calls().size() == calls; })) << calls;
  }
  EXPECT_TRUE(out.IsSoundUnheard());  // 144 ms of silence
  ASSERT_TRUE(backend_->CompleteNext());
  EXPECT_TRUE(WaitFor([&] { return !out.IsSoundUnheard(); }));
}

TEST_F(SoundOutTest, StopWithThreeOutClosesAfterTheThirdComesBack) {
  FillSource source([](size_t) { return 1000; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  out.stop();
  EXPECT_FALSE(out.IsPlaying());
  ASSERT_TRUE(WaitFor([&] { return backend_->OpenDevices() == 0; }));
  EXPECT_FALSE(out.IsDeviceOpen());
  EXPECT_EQ(out.GetBuffersOut(), 0);
  std::vector<std::string> afterReset;
  const auto log = backend_->Log();
  auto reset = std::find(log.begin(), log.end(), "reset");
  ASSERT_NE(reset, log.end());
  afterReset.assign(reset + 1, log.end());
  EXPECT_EQ(afterReset, (std::vector<std::string>{"unprepare", "unprepare", "unprepare", "close"}));
  // Stopped buffers are not refilled.
  EXPECT_EQ(source.Calls().size(), 3u);
}

TEST_F(SoundOutTest, StartWhileDrainingIsRefused) {
  backend_->SetHoldOnReset(true);
  FillSource source([](size_t) { return 320; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);
  ASSERT_TRUE(out.start());
  out.stop();
  EXPECT_FALSE(out.start());
  EXPECT_EQ(backend_->Opens(), 1u);
  ASSERT_TRUE(backend_->CompleteNext());
  ASSERT_TRUE(backend_->CompleteNext());
  ASSERT_TRUE(WaitFor([&] { return out.GetBuffersOut() == 1; }));
  EXPECT_FALSE(out.start());
  ASSERT_TRUE(backend_->CompleteNext());
  ASSERT_TRUE(WaitFor([&] { return !out.IsDeviceOpen(); }));
  EXPECT_TRUE(out.start());
  EXPECT_EQ(backend_->Opens(), 2u);
  EXPECT_EQ(backend_->OpenDevices(), 1u);
}

TEST_F(SoundOutTest, DeviceFailures) {
  FillSource source([](size_t) { return 64; });
  CSoundOut out;
  out.SetCallback(&FillSource::Fill, &source);

  backend_->SetFailures({.open = true});
  EXPECT_FALSE(out.start());
  EXPECT_FALSE(out.IsPlaying());

  // Buffers the device did not take are not counted as out, so a stop can
  // close it and a later start opens afresh.
  for (auto failures : {ManualWaveOutBackend::Failures{.write = true},
                        ManualWaveOutBackend::Failures{.prepare = true}}) {
    backend_->SetFailures(failures);
    ASSERT_TRUE(out.start());
    EXPECT_EQ(out.GetBuffersOut(), 0);
    out.stop();
    EXPECT_FALSE(out.IsDeviceOpen());
    EXPECT_EQ(backend_->OpenDevices(), 0u);
  }
  backend_->SetFailures({});
  EXPECT_TRUE(out.start());
  EXPECT_EQ(backend_->BuffersOut(), 3u);
  EXPECT_EQ(backend_->Opens(), 3u);
}

TEST_F(SoundOutTest, FormatOfTheCallerAndDerivedFields) {
  CSoundOut out;
  out.SetNumberOfChannels(2);
  EXPECT_EQ(out.GetFormat().blockAlign, 4);
  EXPECT_EQ(out.GetFormat().avgBytesPerSec, 32000u);
  out.SetBitsPerSample(8);
  out.SetSamplesPerSecond(11025);
  EXPECT_EQ(out.GetFormat().blockAlign, 2);
  EXPECT_EQ(out.GetFormat().avgBytesPerSec, 22050u);

  FillSource source([](size_t) { return 0; });
  out.SetCallback(&FillSource::Fill, &source);
  platform::WAVEFORMATEX bad = out.GetFormat();
  bad.avgBytesPerSec = 1;
  EXPECT_FALSE(out.start(&bad));
  EXPECT_EQ(backend_->Opens(), 0u);

  platform::WAVEFORMATEX format{platform::WAVE_FORMAT_PCM, 1, 16000, 32000, 2, 16, 0};
  ASSERT_TRUE(out.start(&format));
  EXPECT_EQ(backend_->LastFormat().samplesPerSec, 16000u);
  ASSERT_FALSE(source.Calls().empty());
  EXPECT_EQ(source.Calls()[0].capacity, 2 * 1000);
}

// Completions race the destruction: the destructor stops, ends the thread
// and waits for it, and no fill runs after it returned.
TEST_F(SoundOutTest, DestructionEndsTheThread) {
  FillSource source([](size_t) { return 50; });
  std::atomic<bool> done{false};
  std::thread completer([&] {
    while (!done) {
      backend_->CompleteNext();
      std::this_thread::yield();
    }
  });
  for (int round = 0; round < 20; ++round) {
    {
      CSoundOut out;
      out.SetCallback(&FillSource::Fill, &source);
      ASSERT_TRUE(out.start());
      std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(backend_->OpenDevices(), 0u) << round;
  }
  const size_t calls = source.Calls().size();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(source.Calls().size(), calls);
  done = true;
  completer.join();
}

// The null output at the video box's format: 16,000 bytes a second, by the
// output's clock.  Fills of 1600 bytes come back every 100 ms of it; each
// later fill reports what its buffer carried, so the bytes played are
// counted as they come back.  Sleeping on the test clock takes no time, so
// when the twentieth buffer comes back the output may already have played
// the two others out (the exact pace is the wave output test's).
TEST(NullSoundOutTest, PlaysSixteenThousandBytesPerSecond) {
  platform::ManualClock clock(1000);
  platform::ScopedWaveOutBackend scoped(std::make_shared<platform::NullWaveOutBackend>(clock));
  struct Counter {
    platform::Clock* clock = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    int32_t fills = 0;
    int64_t played = 0;
    uint64_t reachedMs = 0;
  } counter;
  counter.clock = &clock;
  constexpr int64_t kTarget = 32000;
  auto fill = [](CBuffer* buffer, void* user) {
    auto* c = static_cast<Counter*>(user);
    std::lock_guard lock(c->mutex);
    if (c->fills++ >= 3) {
      c->played += buffer->Size();
      if (c->played == kTarget) c->reachedMs = c->clock->NowMs();
    }
    buffer->SetSize(1600);
    c->changed.notify_all();
    return 1;
  };
  CSoundOut out;
  out.SetBufferSize(8000);
  out.SetCallback(fill, &counter);
  ASSERT_TRUE(out.start());
  {
    std::unique_lock lock(counter.mutex);
    ASSERT_TRUE(counter.changed.wait_for(lock, testing_support::kPatience, [&] { return counter.played >= kTarget; }));
  }
  out.stop();
  EXPECT_GE(counter.reachedMs, 1000u + 2000);
  EXPECT_LE(counter.reachedMs, 1000u + 2000 + 2 * 100);
}

// What the null output plays can be recorded: the bytes given, in order.
TEST(NullSoundOutTest, RecordsWhatItPlayed) {
  testing_support::ScratchDir dir("null_sound_record");
  const auto recording = dir / "played.pcm";
  std::vector<uint8_t> sequence(4800);
  for (size_t i = 0; i < sequence.size(); ++i) sequence[i] = static_cast<uint8_t>(i * 7 + i / 256);
  struct Feed {
    const std::vector<uint8_t>* sequence;
    std::atomic<size_t> offset{0};
  } feed{&sequence};
  auto fill = [](CBuffer* buffer, void* user) {
    auto* f = static_cast<Feed*>(user);
    const size_t offset = f->offset;
    const size_t bytes = std::min<size_t>(960, f->sequence->size() - offset);
    std::copy_n(f->sequence->begin() + offset, bytes, buffer->Data());
    buffer->SetSize(static_cast<int32_t>(bytes));
    f->offset = offset + bytes;
    return 1;
  };
  {
    platform::ScopedWaveOutBackend scoped(std::make_shared<platform::NullWaveOutBackend>(recording));
    CSoundOut out;
    out.SetCallback(fill, &feed);
    ASSERT_TRUE(out.start());
    // Everything handed out, then a few silent buffers played after it.
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (testing_support::ReadFile(recording).size() < sequence.size() + 3 * 192 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    out.stop();
  }
  const auto played = testing_support::ReadFile(recording);
  ASSERT_GE(played.size(), sequence.size());
  EXPECT_TRUE(std::equal(sequence.begin(), sequence.end(), played.begin()));
  EXPECT_TRUE(std::all_of(played.begin() + sequence.size(), played.end(),
                          [](uint8_t b) { return b == 0; }));
}

}  // namespace
