#include "player/engine/playback_engine.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <thread>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/engine/player_messages.h"
#include "tests/support/archive_records.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

using namespace std::chrono_literals;

namespace {

constexpr uint32_t kT0 = 1700000000;

// Virtual time: sleeping advances it at once.  Short sleeps (pacing, idle)
// let other threads run for a moment; longer ones (the waits for the index
// thread while opening) pass half their time for real, since the index
// thread works in real time.
class VirtualClock : public platform::Clock {
 public:
  uint64_t NowMs() const override { return now_.load(); }
  void SleepMs(uint32_t ms) override {
    now_ += ms;
    if (ms >= 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(ms / 2));
    else
      std::this_thread::sleep_for(20us);
  }
  void Advance(uint64_t ms) { now_ += ms; }

 private:
  std::atomic<uint64_t> now_{5000};
};

class FakeBox : public FrameSink {
 public:
  explicit FakeBox(const platform::Clock& clock) : clock_(clock) {}
  struct Shown {
    uint32_t time, usec;
    uint8_t type;
    uint64_t at;
    uint32_t positionBefore = 0;
  };
  // Read while a frame is handed over (set before playback starts).
  std::function<uint32_t()> position_;
  void ShowVideoFrame(const VyxFrame& f) override {
    // What the time text would read as the picture changes.
    const uint32_t position = position_ ? position_() : 0;
    std::lock_guard lock(m_);
    shown_.push_back({f.index.header.time, f.index.header.usec, f.index.header.type, clock_.NowMs(), position});
  }
  // Each drain remembers how many frames had been shown before it.
  void DrainVideo() override {
    std::lock_guard lock(m_);
    drains_.push_back(shown_.size());
  }
  std::vector<size_t> Drains() const {
    std::lock_guard lock(m_);
    return drains_;
  }
  void PlayAudioFrame(const VyxFrame& f) override {
    std::lock_guard lock(m_);
    audio_.push_back({f.index.header.time, f.index.header.usec, f.index.header.type, clock_.NowMs()});
  }
  void DrainAudio() override { ++audioDrains_; }
  bool IsSoundPending() const override { return soundPending_; }
  void Reset() override { ++resets_; }
  void ResetStats() override { ++statResets_; }
  int GetViewMode() const override { return viewMode_; }
  void ClearPicture() override { ++cleared_; }
  void LeaveViewMode() override { viewMode_ = -1; }
  void StartArchive() override { ++archives_; }

  std::vector<Shown> Shown_() const {
    std::lock_guard lock(m_);
    return shown_;
  }
  size_t ShownCount() const { return Shown_().size(); }
  std::vector<Shown> Audio() const {
    std::lock_guard lock(m_);
    return audio_;
  }

  std::atomic<int> resets_{0}, statResets_{0}, cleared_{0}, viewMode_{-1}, archives_{0}, audioDrains_{0};
  std::atomic<bool> soundPending_{false};

 private:
  const platform::Clock& clock_;
  mutable std::mutex m_;
  std::vector<Shown> shown_;
  std::vector<Shown> audio_;
  std::vector<size_t> drains_;
};

struct Rec {
  uint8_t type;
  uint32_t time, usec = 0;
  uint16_t w = 352, h = 288;
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = testing_support::kPatience) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(200us);
  }
  return true;
}

template <typename ClockT>
class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() : dir_("engine"), box_(clock_), engine_(clock_) {
    window_ = std::make_shared<platform::RecordingMessageTarget>();
    engine_.GetParser().SetNotifyWindow(window_);
    EXPECT_TRUE(engine_.Start(box_));
  }

  std::string Write(const std::vector<Rec>& recs) {
    const std::string path = dir_ / ("a" + std::to_string(files_++) + ".vyx");
    std::vector<testing_support::ArchiveRecord> records;
    for (const Rec& r : recs) {
      records.push_back({MakeFrameHeader(r.type, r.time, r.usec), std::vector<uint8_t>(16, r.type)});
      records.back().header.width = r.w;
      records.back().header.height = r.h;
    }
    EXPECT_TRUE(testing_support::WriteArchive(path, records));
    return path;
  }

  // Opens and steps onto the first frame, paused (the thread has not run yet).
  void OpenPaused(const std::vector<Rec>& recs) {
    CQxVyxParser& parser = engine_.GetParser();
    ASSERT_EQ(parser.Open(Write(recs)), 1);
    ASSERT_TRUE(WaitUntil([&] { return !parser.IsIndexing(); }));
    parser.Rewind();
    engine_.SetMode(PLAY_MODE_PAUSE);
    engine_.SetMode(PLAY_MODE_STEP_FORWARD);
    ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == 1 && engine_.IsSuspended(); }));
  }

  void WaitSuspended() { ASSERT_TRUE(WaitUntil([&] { return engine_.IsSuspended(); })); }

  size_t Count(uint32_t message) const {
    size_t n = 0;
    for (const auto& m : window_->Messages()) n += m.message == message;
    return n;
  }

  testing_support::ScratchDir dir_;
  int files_ = 0;
  ClockT clock_;
  FakeBox box_;
  std::shared_ptr<platform::RecordingMessageTarget> window_;
  PlaybackEngine engine_;
};

using PlaybackTest = EngineFixture<VirtualClock>;

// A record `ms` after kT0.
Rec At(uint8_t type, uint64_t ms) { return {type, kT0 + uint32_t(ms / 1000), uint32_t(ms % 1000) * 1000}; }

std::vector<uint64_t> Spacing(const std::vector<FakeBox::Shown>& shown) {
  std::vector<uint64_t> spacing;
  for (size_t i = 1; i < shown.size(); ++i) spacing.push_back(shown[i].at - shown[i - 1].at);
  return spacing;
}

std::vector<Rec> Gop(uint32_t base, int frames, uint32_t stepMs = 40) {
  std::vector<Rec> recs;
  for (int i = 0; i < frames; ++i) {
    const uint64_t ms = uint64_t{base} * 1000 + uint64_t(i) * stepMs;
    recs.push_back({i % 5 == 0 ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, uint32_t(ms / 1000),
                    uint32_t(ms % 1000) * 1000});
  }
  return recs;
}

TEST_F(PlaybackTest, PacesFramesByTheirRecordedSpacing) {
  ASSERT_EQ(engine_.OpenFile(Write(Gop(kT0, 4))), 1);
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= 4; }));
  engine_.Stop();
  const auto shown = box_.Shown_();
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(shown[i].at - shown[0].at, 40 * i);
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
  WaitSuspended();
  EXPECT_EQ(box_.resets_, 1);
}

// A jump forward of more than 3 s (nothing recorded meanwhile) is not
// waited out: the frame after it follows after the last shorter interval.
TEST_F(PlaybackTest, LongJumpsInTheRecordingAreNotWaitedOut) {
  struct Case {
    const char* name;
    std::vector<uint64_t> times;    // ms after the first frame
    std::vector<uint64_t> spacing;  // between the frames shown
  };
  const Case cases[] = {
      {"after the last interval", {0, 100, 200, 3201, 3301}, {100, 100, 100, 100}},
      {"the last interval, not the first", {0, 40, 120, 40120, 40160}, {40, 80, 80, 40}},
      {"40 ms when there is none", {0, 40000, 40100}, {40, 100}},
      {"hours", {0, 60, 3600060}, {60, 60}},
      {"exactly 3 s is waited", {0, 40, 3040, 3080}, {40, 3000, 40}},
      {"2.5 s is waited", {0, 40, 2540}, {40, 2500}},
      // Backwards the frames come at once until the time passes where it
      // was; a long jump forward from there follows the frame shown last.
      {"backwards", {10000, 10040, 10080, 5000, 5040, 10120, 10160}, {40, 40, 0, 0, 40, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Rec> recs;
    for (uint64_t t : c.times) recs.push_back(At(recs.empty() ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, t));
    const size_t before = box_.ShownCount();
    ASSERT_EQ(engine_.OpenFile(Write(recs)), 1);
    ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= before + recs.size(); }));
    engine_.Stop();
    WaitSuspended();
    const auto shown = box_.Shown_();
    EXPECT_EQ(Spacing({shown.begin() + ptrdiff_t(before), shown.begin() + ptrdiff_t(before + recs.size())}),
              c.spacing);
  }
}

// The time text reads the frame shown last: while the next one is awaited
// it still names the one on the screen.
TEST_F(PlaybackTest, ThePositionIsTheFrameShownLast) {
  box_.position_ = [&] { return engine_.GetPosition(); };
  ASSERT_EQ(engine_.OpenFile(Write({At(FRAME_TYPE_H264_I, 0), At(FRAME_TYPE_H264_P, 1000),
                                    At(FRAME_TYPE_H264_P, 3500), At(FRAME_TYPE_H264_P, 63500)})),
            1);
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= 4; }));
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
  const auto shown = box_.Shown_();
  std::vector<uint32_t> before;
  for (size_t i = 0; i < 4; ++i) before.push_back(shown[i].positionBefore);
  EXPECT_EQ(before, (std::vector<uint32_t>{0, 0, 1, 3}));
  EXPECT_EQ(engine_.GetPosition(), 63u);
  engine_.Stop();
  WaitSuspended();
}

// Sound that no video paces goes out by its own recording times, a second
// ahead; sound between video frames goes out as it is read.
TEST_F(PlaybackTest, SoundWithoutVideoIsPacedByItsRecordingTimes) {
  constexpr uint64_t kLead = PlaybackEngine::kSoundLeadMs;
  struct Case {
    const char* name;
    uint64_t videoUntilMs;  // video every 40 ms before this
  };
  for (const Case& c : {Case{"sound only", 0}, Case{"sound outlasting the picture", 2000}}) {
    SCOPED_TRACE(c.name);
    std::vector<Rec> recs;
    for (uint64_t t = 0; t < 6000; t += 20) {
      if (t < c.videoUntilMs && t % 40 == 0) recs.push_back(At(t % 1000 ? FRAME_TYPE_H264_P : FRAME_TYPE_H264_I, t));
      if (t % 100 == 0) recs.push_back(At(FRAME_TYPE_ADPCM, t));
    }
    const size_t before = box_.Audio().size();
    window_->Clear();
    ASSERT_EQ(engine_.OpenFile(Write(recs)), 1);
    ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
    engine_.Stop();
    WaitSuspended();
    const auto audio = box_.Audio();
    ASSERT_EQ(audio.size(), before + 60);  // each once, none again after the end
    const uint64_t start = audio[before].at;
    // The sound after the last frame shown runs from that frame's time on.
    const uint64_t runFrom = c.videoUntilMs ? box_.Shown_().back().at - start : 0;
    for (size_t i = 0; i < 60; ++i) {
      const uint64_t t = i * 100;
      // With the picture: at once after the frame before it.
      const uint64_t due = t < c.videoUntilMs ? t / 40 * 40
                                              : runFrom + std::max<int64_t>(0, int64_t(t - c.videoUntilMs - kLead));
      EXPECT_EQ(audio[before + i].at - start, due) << t;
    }
  }
}

// The end is reported once the sound handed out has been heard; a stop
// meanwhile ends the wait.
TEST_F(PlaybackTest, TheEndWaitsForTheSoundToPlayOut) {
  box_.soundPending_ = true;
  ASSERT_EQ(engine_.OpenFile(Write({At(FRAME_TYPE_H264_I, 0), At(FRAME_TYPE_ADPCM, 0), At(FRAME_TYPE_ADPCM, 100)})),
            1);
  ASSERT_TRUE(WaitUntil([&] { return box_.audioDrains_ > 0; }));
  clock_.Advance(60000);
  EXPECT_FALSE(window_->WaitFor(WM_VYX_END_OF_FILE, 100ms));
  box_.soundPending_ = false;
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
  engine_.Stop();
  WaitSuspended();

  box_.soundPending_ = true;
  window_->Clear();
  engine_.Play();
  ASSERT_TRUE(WaitUntil([&] { return box_.audioDrains_ > 1; }));
  engine_.Stop();
  WaitSuspended();
  EXPECT_EQ(box_.resets_, 2);
  EXPECT_EQ(Count(WM_VYX_END_OF_FILE), 0u);
}

TEST_F(PlaybackTest, StaysPacedAcrossTheTwoToThe32MillisecondBoundary) {
  // 2^32 ms after the epoch is 4294967.296 s.
  const auto recs = Gop(4294967, 12);
  ASSERT_EQ(engine_.OpenFile(Write(recs)), 1);
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= recs.size(); }));
  const auto shown = box_.Shown_();
  for (size_t i = 0; i < recs.size(); ++i) EXPECT_EQ(shown[i].at - shown[0].at, 40 * i) << i;
}

TEST_F(PlaybackTest, FirstFrameAfterAResumeOrASeekIsShownAtOnce) {
  std::vector<Rec> recs = Gop(kT0, 10);
  recs.push_back({FRAME_TYPE_H264_I, kT0 + 60});
  recs.push_back({FRAME_TYPE_H264_P, kT0 + 61});
  OpenPaused(recs);
  ASSERT_EQ(box_.ShownCount(), 1u);
  clock_.Advance(30000);  // a long pause
  engine_.Play();
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= 3; }));
  engine_.SetMode(PLAY_MODE_PAUSE);
  WaitSuspended();
  auto shown = box_.Shown_();
  EXPECT_EQ(shown[2].at - shown[1].at, 40u);  // paced from the resume on

  const size_t before = shown.size();
  const uint64_t seekAt = clock_.NowMs();
  engine_.SeekTo(60);  // paused: shows the key frame there, then pauses again
  WaitSuspended();
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == before + 1; }));
  shown = box_.Shown_();
  EXPECT_EQ(shown.back().time, kT0 + 60);
  EXPECT_LT(shown.back().at - seekAt, 5u);
  EXPECT_EQ(engine_.GetPosition(), 60u);
  EXPECT_EQ(engine_.GetMode(), PLAY_MODE_PAUSE);
}

TEST_F(PlaybackTest, StepForwardShowsOneVideoFramePassingAudioBy) {
  OpenPaused({{FRAME_TYPE_H264_I, kT0},
              {FRAME_TYPE_VOICE, kT0},
              {FRAME_TYPE_ADPCM, kT0},
              {FRAME_TYPE_H264_P, kT0 + 1},
              {FRAME_TYPE_H264_P, kT0 + 2}});
  ASSERT_EQ(box_.ShownCount(), 1u);
  engine_.SetMode(PLAY_MODE_STEP_FORWARD);
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == 2; }));
  WaitSuspended();
  EXPECT_EQ(box_.ShownCount(), 2u);
  EXPECT_EQ(box_.Shown_().back().time, kT0 + 1);
  EXPECT_TRUE(box_.Audio().empty());
  EXPECT_EQ(engine_.GetMode(), PLAY_MODE_PAUSE);
}

TEST_F(PlaybackTest, StepBackAtTheFirstKeyFrameReportsTheFileStart) {
  OpenPaused(Gop(kT0, 8));
  engine_.SetMode(PLAY_MODE_STEP_FORWARD);
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == 2; }));
  WaitSuspended();
  engine_.SetMode(PLAY_MODE_STEP_BACK);  // from frame 1: back to the key frame 0
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == 3; }));
  WaitSuspended();
  EXPECT_EQ(Count(WM_VYX_FILE_START), 0u);
  engine_.SetMode(PLAY_MODE_STEP_BACK);  // at the first key frame
  ASSERT_TRUE(window_->WaitFor(WM_VYX_FILE_START, testing_support::kPatience));
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() == 4; }));
  WaitSuspended();
  const auto shown = box_.Shown_();
  EXPECT_EQ(shown[2].time * 1000000ull + shown[2].usec, kT0 * 1000000ull);
  EXPECT_EQ(shown[3].time * 1000000ull + shown[3].usec, kT0 * 1000000ull);
  EXPECT_EQ(engine_.GetMode(), PLAY_MODE_PAUSE);
}

TEST_F(PlaybackTest, StopWhilePausedShowsOneMoreFrameAndResetsTheBox) {
  OpenPaused(Gop(kT0, 8));
  engine_.Stop();
  ASSERT_TRUE(WaitUntil([&] { return box_.resets_ == 1; }));
  WaitSuspended();
  EXPECT_EQ(box_.ShownCount(), 2u);
  EXPECT_EQ(box_.statResets_, 1);
  EXPECT_EQ(engine_.GetMode(), PLAY_MODE_STOP);
  // Play after Stop starts from the first record again.
  engine_.Play();
  ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() >= 3; }));
  EXPECT_EQ(box_.Shown_()[2].time, kT0);
}

// The end of the index drains the video decoder before it is reported, once
// the last frame was shown; nothing drains before the end.
TEST_F(PlaybackTest, TheEndOfTheIndexDrainsTheVideoBeforeItIsReported) {
  ASSERT_EQ(engine_.OpenFile(Write(Gop(kT0, 6))), 1);
  ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, 5s));
  const auto drains = box_.Drains();
  ASSERT_FALSE(drains.empty());
  EXPECT_EQ(drains[0], 6u);
  engine_.Stop();
  WaitSuspended();
}

TEST_F(PlaybackTest, TheEndOfTheIndexIsReportedAgainAndAgain) {
  ASSERT_EQ(engine_.OpenFile(Write(Gop(kT0, 2))), 1);
  ASSERT_TRUE(WaitUntil([&] { return Count(WM_VYX_END_OF_FILE) >= 3; }));
  engine_.Stop();
  WaitSuspended();
  // Between two reports the last frame is handed out again.
  EXPECT_GE(box_.ShownCount(), 4u);
  const auto shown = box_.Shown_();
  EXPECT_EQ(shown[2].usec, shown[1].usec);
}

TEST_F(PlaybackTest, SizeMessages) {
  struct Case {
    uint16_t w, h;
    int viewMode;
    size_t expected;
  };
  // Three key frames of the same size each.
  const Case cases[] = {{352, 288, -1, 1}, {480, 480, -1, 3}, {480, 480, 2, 0}};
  for (const Case& c : cases) {
    window_->Clear();
    engine_.Stop();
    WaitSuspended();
    box_.viewMode_ = c.viewMode;
    std::vector<Rec> recs;
    for (int i = 0; i < 3; ++i) {
      recs.push_back({FRAME_TYPE_H264_I, kT0 + uint32_t(i), 0, c.w, c.h});
      recs.push_back({FRAME_TYPE_H264_P, kT0 + uint32_t(i), 500000, c.w, c.h});
    }
    // OpenFile leaves a view mode; keep the case's mode for the square ones.
    const std::string path = Write(recs);
    engine_.GetParser().Open(path);
    ASSERT_TRUE(WaitUntil([&] { return !engine_.GetParser().IsIndexing(); }));
    engine_.Play();
    ASSERT_TRUE(window_->WaitFor(WM_VYX_END_OF_FILE, testing_support::kPatience));
    engine_.Stop();
    WaitSuspended();
    EXPECT_EQ(Count(WM_VIDEO_SIZE_CHANGED), c.expected) << c.w << "x" << c.h << " mode " << c.viewMode;
    EXPECT_EQ(engine_.IsSquareSource(), c.w == c.h);
  }
}

TEST_F(PlaybackTest, OpenFailures) {
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  EXPECT_EQ(engine_.OpenFile((dir_ / "absent.vyx").string()), 0);
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Vyx File Error!"});
  EXPECT_EQ(box_.cleared_, 1);
  // An index that stays empty: silent.
  const std::string stub = dir_ / "stub.vyx";
  testing_support::WriteFile(stub, std::vector<uint8_t>(20, 1));
  EXPECT_EQ(engine_.OpenFile(stub), 0);
  ASSERT_TRUE(boxes->WaitForText(testing_support::kPatience));
  EXPECT_EQ(box_.cleared_, 1);
  EXPECT_EQ(box_.ShownCount(), 0u);
  EXPECT_EQ(box_.archives_, 1) << "an archive the reader opened starts anew, indexed or not";
}

TEST_F(PlaybackTest, OpeningLeavesTheFisheyeView) {
  box_.viewMode_ = 3;
  ASSERT_EQ(engine_.OpenFile(Write(Gop(kT0, 2))), 1);
  EXPECT_EQ(box_.viewMode_, -1);
  EXPECT_EQ(box_.archives_, 1);
}

// Random commands against the real thread: each takes effect and nothing hangs.
TEST_F(PlaybackTest, RandomCommandsStress) {
  std::vector<Rec> recs = Gop(kT0, 300);
  for (int i = 0; i < 300; i += 7) recs.insert(recs.begin() + i, Rec{FRAME_TYPE_VOICE, kT0 + uint32_t(i / 25)});
  ASSERT_EQ(engine_.OpenFile(Write(recs)), 1);
  std::mt19937 random(7);
  bool paused = false;  // the window enables the step buttons only after Pause
  for (int step = 0; step < 300; ++step) {
    const size_t shownBefore = box_.ShownCount();
    switch (random() % 6) {
      case 0:
        paused = false;
        engine_.Play();
        ASSERT_TRUE(WaitUntil([&] {
          return box_.ShownCount() > shownBefore || Count(WM_VYX_END_OF_FILE) > 0;
        })) << step;
        break;
      case 1:
        if (engine_.GetMode() == PLAY_MODE_STOP) break;  // Pause is disabled when stopped
        paused = true;
        engine_.SetMode(PLAY_MODE_PAUSE);
        WaitSuspended();
        ASSERT_EQ(engine_.GetMode(), PLAY_MODE_PAUSE);
        break;
      case 2: {
        const int resets = box_.resets_;
        paused = false;
        engine_.Stop();
        WaitSuspended();
        ASSERT_EQ(engine_.GetMode(), PLAY_MODE_STOP);
        ASSERT_GE(box_.resets_, resets);
        break;
      }
      case 3:
      case 4: {
        if (!paused) break;
        engine_.SetMode(random() % 2 ? PLAY_MODE_STEP_FORWARD : PLAY_MODE_STEP_BACK);
        ASSERT_TRUE(WaitUntil([&] { return box_.ShownCount() > shownBefore; })) << step;
        WaitSuspended();
        ASSERT_EQ(engine_.GetMode(), PLAY_MODE_PAUSE);
        break;
      }
      default:
        engine_.SeekTo(random() % 14);
        break;
    }
  }
  engine_.Stop();
  WaitSuspended();
  EXPECT_EQ(engine_.GetMode(), PLAY_MODE_STOP);
}

// Three seconds: the longest jump in recording time that is waited out.
TEST(PlaybackRealTime, QuitDuringTheLongestWaitReturnsAtOnce) {
  testing_support::ScratchDir dir("engine-gap");
  const std::string path = dir / "gap.vyx";
  const std::vector<uint8_t> payload(8);
  ASSERT_TRUE(testing_support::WriteArchive(
      path, {{MakeFrameHeader(FRAME_TYPE_H264_I, kT0), payload}, {MakeFrameHeader(FRAME_TYPE_H264_P, kT0 + 3), payload}}));

  FakeBox box(platform::SystemClock());
  auto engine = std::make_unique<PlaybackEngine>();
  ASSERT_TRUE(engine->Start(box));
  ASSERT_EQ(engine->OpenFile(path), 1);
  ASSERT_TRUE(WaitUntil([&] { return box.ShownCount() == 1; }));
  std::this_thread::sleep_for(20ms);  // into the wait for the second frame

  // Stop ends the wait: the frame comes at once and the box is reset.
  engine->Stop();
  ASSERT_TRUE(WaitUntil([&] { return box.resets_ == 1; }));
  engine->Play();
  ASSERT_TRUE(WaitUntil([&] { return box.ShownCount() == 3; }));
  std::this_thread::sleep_for(20ms);
  const auto start = std::chrono::steady_clock::now();
  engine.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, testing_support::kPatience);
  EXPECT_EQ(box.ShownCount(), 3u);  // the frame after the wait never came
}

}  // namespace
