#pragma once
// The playback engine: the archive reader and the play thread, which reads
// frames in index order, paces video by its recording times and hands the
// frames to the video box.  Sound is handed out as it is read while video
// paces it; a run of sound records without video is paced by its own
// recording times, kSoundLeadMs ahead.  At the end of the archive the sound
// handed out plays out before the end is reported.  The user interface
// drives the engine by setting a play mode; it reports back by posted
// messages (to the reader's window).
//
// Every field the two threads share is guarded by the play thread's lock;
// a mode change and the resume that goes with it happen under it, and the
// thread decides under it whether to suspend.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/suspendable_thread.h"
#include "player/archive/vyx_parser.h"
#include "player/engine/frame_sink.h"
#include "player/engine/pace_clock.h"
#include "player/engine/play_mode.h"

class PlaybackEngine {
 public:
  // How far ahead of its recording time sound without video is handed out:
  // enough for the output to start and never run dry, well inside what
  // the sound queue keeps.
  static constexpr uint64_t kSoundLeadMs = 1000;

  explicit PlaybackEngine(platform::Clock& clock = platform::SystemClock());
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // Creates the play thread, suspended, handing frames to `sink` (which
  // must outlive the thread).  False when it could not be made.
  bool Start(FrameSink& sink);
  // 1 when the archive opened and playback started, else 0.
  int OpenFile(const std::string& path);
  void Play();
  // Play mode, and the thread running; `restart` forgets the position shown.
  void Resume(bool restart);
  void Stop();
  void SetMode(int mode);
  void SeekTo(uint32_t seconds);
  // Seconds from the first frame to the frame last shown.
  uint32_t GetPosition() const;
  int GetMode() const;
  // 1 while the last key frame was square (a fisheye camera's picture).
  bool IsSquareSource() const;
  // The picture size last reported with WM_VIDEO_SIZE_CHANGED (0 x 0 before).
  void GetPictureSize(uint16_t& width, uint16_t& height) const;
  // A fisheye view's size, which square sources then keep.
  void SetPictureSize(int width, int height);
  // True while the play thread waits to be resumed.
  bool IsSuspended() const;
  // Ends the play thread: quit, resume, and a bounded wait for its end.
  void Shutdown();

  CQxVyxParser& GetParser() { return parser_; }
  std::string GetFileName() const { return parser_.GetFileName(); }

 private:
  using Lock = platform::SuspendableThread::Lock;
  enum class Paced { Show, Drop, Quit };

  void ThreadMain();
  // Waits until the frame is due by `clock`, less `leadMs`; ends early on
  // quit, a seek or a mode change.
  Paced Pace(const VyxFrame& frame, uint64_t seeksAtRead, PaceClock& clock, uint64_t leadMs);
  // At the end of the archive: the sound handed out plays out (Show).  A
  // mode change or a seek ends the wait early (Drop), as does quit.
  Paced PlayOutSound();
  void ReportKeyFrameSize(const VYX_FRAME_HEADER& header);
  // Mode handling at the end of a pass; false when the thread must end.
  // seeksAtRead: the seek count when the pass read its frame.
  bool EndPass(uint64_t seeksAtRead);
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam);

  FrameSink* sink_ = nullptr;
  platform::Clock& clock_;
  CQxVyxParser parser_;
  platform::SuspendableThread thread_;

  // Guarded by thread_.Mutex().
  bool quit_ = false;
  int mode_ = PLAY_MODE_STOP;
  bool paused_ = false;
  bool resetClock_ = false;
  uint64_t wakes_ = 0;  // mode changes, seeks and quit: ends a pacing wait
  uint64_t seeks_ = 0;
  uint32_t currentSeconds_ = 0;  // of the frame last shown
  PaceClock videoClock_;
  PaceClock soundClock_;  // restarted by every video frame
  // The wake count when the end was last reported: the record handed out
  // again after it, when it is sound, was played already.
  std::optional<uint64_t> endReportedAt_;
  bool squareSource_ = false;
  uint16_t pictureWidth_ = 0;
  uint16_t pictureHeight_ = 0;
};
