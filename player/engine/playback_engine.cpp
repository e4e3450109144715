#include "player/engine/playback_engine.h"

#include <algorithm>

#include "platform/message_box.h"
#include "platform/trace.h"
#include "player/engine/player_messages.h"

namespace {

constexpr uint32_t kIdleSleepMs = 5;
constexpr std::chrono::milliseconds kShutdownBound{3000};

}  // namespace

PlaybackEngine::PlaybackEngine(platform::Clock& clock) : clock_(clock) {}

PlaybackEngine::~PlaybackEngine() { Shutdown(); }

bool PlaybackEngine::Start(FrameSink& sink) {
  if (thread_.Exists()) return false;
  sink_ = &sink;
  {
    Lock lock(thread_.Mutex());
    quit_ = false;
  }
  return thread_.Create([this] { ThreadMain(); });
}

void PlaybackEngine::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (auto window = parser_.GetNotifyWindow()) window->Post(message, wParam, lParam);
}

int PlaybackEngine::OpenFile(const std::string& path) {
  if (!sink_) return 0;  // not started
  if (!parser_.Open(path)) {
    platform::ShowMessageBox("Vyx File Error!");
    sink_->ClearPicture();
    return 0;
  }
  sink_->StartArchive();
  // Give the index thread a moment to find the first records.
  bool indexed = parser_.Rewind() != 0;
  for (int tries = 0; !indexed && tries < 10; ++tries) {
    clock_.SleepMs(10);
    indexed = parser_.Rewind() != 0;
  }
  if (!indexed) return 0;
  clock_.SleepMs(200);
  if (sink_->GetViewMode() != -1) sink_->LeaveViewMode();
  Resume(true);
  return 1;
}

void PlaybackEngine::Play() {
  {
    Lock lock(thread_.Mutex());
    if (mode_ == PLAY_MODE_PAUSE) {
      lock.unlock();
      Resume(false);
      return;
    }
  }
  if (parser_.Rewind()) Resume(true);
}

void PlaybackEngine::Resume(bool restart) {
  Lock lock(thread_.Mutex());
  if (restart) currentSeconds_ = 0;
  videoClock_.Restart();
  soundClock_.Restart();
  mode_ = PLAY_MODE_PLAY;
  ++wakes_;
  thread_.ResumeLocked(lock);
}

void PlaybackEngine::Stop() {
  {
    Lock lock(thread_.Mutex());
    const int previous = mode_;
    mode_ = PLAY_MODE_STOP;
    ++wakes_;
    if (previous == PLAY_MODE_PAUSE) thread_.ResumeLocked(lock);
  }
  if (sink_) sink_->ResetStats();
}

void PlaybackEngine::SetMode(int mode) {
  Lock lock(thread_.Mutex());
  mode_ = mode;
  ++wakes_;
  switch (mode) {
    case PLAY_MODE_PLAY:
      paused_ = false;
      break;
    case PLAY_MODE_PAUSE:
      paused_ = true;
      break;
    case PLAY_MODE_STOP:
      if (paused_) thread_.ResumeLocked(lock);
      paused_ = false;
      break;
    case PLAY_MODE_STEP_BACK:
    case PLAY_MODE_STEP_FORWARD:
      if (paused_) thread_.ResumeLocked(lock);
      break;
    default:
      break;
  }
}

void PlaybackEngine::SeekTo(uint32_t seconds) {
  parser_.SeekToTime(seconds);
  Lock lock(thread_.Mutex());
  if (mode_ == PLAY_MODE_PAUSE) {
    mode_ = PLAY_MODE_STEP_FORWARD;
    thread_.ResumeLocked(lock);
  }
  resetClock_ = true;
  ++seeks_;
  ++wakes_;
}

uint32_t PlaybackEngine::GetPosition() const {
  uint32_t seconds;
  {
    Lock lock(thread_.Mutex());
    seconds = currentSeconds_;
  }
  return parser_.GetTimeOffset(seconds);
}

int PlaybackEngine::GetMode() const {
  Lock lock(thread_.Mutex());
  return mode_;
}

bool PlaybackEngine::IsSquareSource() const {
  Lock lock(thread_.Mutex());
  return squareSource_;
}

void PlaybackEngine::GetPictureSize(uint16_t& width, uint16_t& height) const {
  Lock lock(thread_.Mutex());
  width = pictureWidth_;
  height = pictureHeight_;
}

void PlaybackEngine::SetPictureSize(int width, int height) {
  Lock lock(thread_.Mutex());
  pictureWidth_ = static_cast<uint16_t>(std::clamp(width, 0, 65535));
  pictureHeight_ = static_cast<uint16_t>(std::clamp(height, 0, 65535));
}

bool PlaybackEngine::IsSuspended() const {
  Lock lock(thread_.Mutex());
  return thread_.IsSuspended(lock);
}

void PlaybackEngine::Shutdown() {
  if (!thread_.Exists()) return;
  {
    Lock lock(thread_.Mutex());
    quit_ = true;
    ++wakes_;
    thread_.ResumeLocked(lock);
  }
  if (!thread_.JoinFor(kShutdownBound)) {
    // Only a decoder stuck on one frame can hold it this long; the thread
    // uses this object, so it must still be waited for.
    platform::Trace("Play thread did not end in %d ms\n", static_cast<int>(kShutdownBound.count()));
    thread_.Join();
  }
}

void PlaybackEngine::ReportKeyFrameSize(const VYX_FRAME_HEADER& h) {
  const bool square = h.width == h.height;
  // A square source reports its size every time, unless a fisheye view
  // decides the picture's shape; others when the size changes.
  const bool squareWithoutView = square && sink_->GetViewMode() == -1;
  {
    Lock lock(thread_.Mutex());
    squareSource_ = square;
    const bool changed = h.width != pictureWidth_ || h.height != pictureHeight_;
    if (square ? !squareWithoutView : !changed) return;
    pictureWidth_ = h.width;
    pictureHeight_ = h.height;
  }
  Post(WM_VIDEO_SIZE_CHANGED, h.width, h.height);
}

PlaybackEngine::Paced PlaybackEngine::Pace(const VyxFrame& frame, uint64_t seeksAtRead, PaceClock& clock,
                                           uint64_t leadMs) {
  const uint64_t recorded = uint64_t{frame.index.header.time} * 1000 + frame.index.header.usec / 1000;
  uint64_t wakes;
  int64_t due;
  {
    Lock lock(thread_.Mutex());
    if (quit_) return Paced::Quit;
    if (seeks_ != seeksAtRead) return Paced::Drop;  // read before the seek
    if (resetClock_) {
      videoClock_.Restart();
      soundClock_.Restart();
      resetClock_ = false;
    }
    due = clock.DueAt(recorded, clock_.NowMs()) - static_cast<int64_t>(leadMs);
    wakes = wakes_;
  }
  while (static_cast<int64_t>(clock_.NowMs()) < due) {
    {
      Lock lock(thread_.Mutex());
      if (quit_) return Paced::Quit;
      if (seeks_ != seeksAtRead) return Paced::Drop;
      if (wakes_ != wakes) break;  // a mode change: show it now
    }
    clock_.SleepMs(1);
  }
  return Paced::Show;
}

PlaybackEngine::Paced PlaybackEngine::PlayOutSound() {
  sink_->DrainAudio();
  uint64_t wakes;
  {
    Lock lock(thread_.Mutex());
    wakes = wakes_;
  }
  while (sink_->IsSoundPending()) {
    {
      Lock lock(thread_.Mutex());
      if (quit_) return Paced::Quit;
      if (wakes_ != wakes) return Paced::Drop;
    }
    clock_.SleepMs(kIdleSleepMs);
  }
  return Paced::Show;
}

bool PlaybackEngine::EndPass(uint64_t seeksAtRead) {
  Lock lock(thread_.Mutex());
  while (true) {
    if (quit_) return false;
    const int mode = mode_;
    // A seek that came while a step showed its frame (to redraw a paused
    // picture) takes the step once more, to the frame after the seek.
    if (mode == PLAY_MODE_STEP_FORWARD && seeks_ != seeksAtRead) return true;
    if (mode == PLAY_MODE_PAUSE || mode == PLAY_MODE_STEP_BACK || mode == PLAY_MODE_STEP_FORWARD) {
      mode_ = PLAY_MODE_PAUSE;
      thread_.SuspendSelf(lock);
      return !quit_;
    }
    if (mode != PLAY_MODE_STOP) return true;
    lock.unlock();
    sink_->Reset();
    lock.lock();
    // Suspend only if nothing new was asked for while the box was reset.
    if (mode_ == PLAY_MODE_STOP) {
      if (quit_) return false;
      thread_.SuspendSelf(lock);
      return !quit_;
    }
  }
}

void PlaybackEngine::ThreadMain() {
  while (true) {
    int mode;
    uint64_t seeksAtRead;
    bool afterEnd;
    {
      Lock lock(thread_.Mutex());
      if (quit_) return;
      mode = mode_;
      seeksAtRead = seeks_;
      afterEnd = endReportedAt_ == wakes_;
      endReportedAt_.reset();
    }
    if (mode == PLAY_MODE_STEP_BACK && parser_.StepBackToKeyFrame() == -1) {
      parser_.Rewind();
      Post(WM_VYX_FILE_START, 0, 0);
    }

    FrameReadout out;
    if (parser_.ReadNextFrame(out) <= 0) {
      if (out.endOfFile) {
        sink_->DrainVideo();
        // Interrupted, the end is reported when the thread comes back to it.
        const Paced played = PlayOutSound();
        if (played == Paced::Quit) return;
        if (played == Paced::Show) {
          Post(WM_VYX_END_OF_FILE, 0, 0);
          Lock lock(thread_.Mutex());
          endReportedAt_ = wakes_;
        }
      }
      clock_.SleepMs(kIdleSleepMs);  // at the end, or ahead of the index thread
    } else {
      const VyxFrame& frame = *out.frame;
      const VYX_FRAME_HEADER& h = frame.index.header;
      if (IsVideoFrameType(h.type)) {
        if (IsKeyFrameType(h.type)) ReportKeyFrameSize(h);
        const Paced paced = Pace(frame, seeksAtRead, videoClock_, 0);
        if (paced == Paced::Quit) return;
        if (paced == Paced::Drop) continue;
        sink_->ShowVideoFrame(frame);
        Lock lock(thread_.Mutex());
        currentSeconds_ = h.time;
        soundClock_.Restart();
      } else if (IsAudioFrameType(h.type) && !afterEnd) {
        // A step forward shows the next video frame, passing audio by.
        if (GetMode() == PLAY_MODE_STEP_FORWARD) continue;
        const Paced paced = Pace(frame, seeksAtRead, soundClock_, kSoundLeadMs);
        if (paced == Paced::Quit) return;
        if (paced == Paced::Drop) continue;
        sink_->PlayAudioFrame(frame);
      }
    }
    if (!EndPass(seeksAtRead)) return;
  }
}
