#pragma once
// The video box: the window pictures are shown in.  Decoding and drawing
// are the video output's (player/output/video_output.h), which draws into this
// window on the play thread; the box paints what was last presented, saves
// snapshots and reports mouse input to the main window on the
// user-interface thread.  The audio frames go to the box's sound side,
// which queues their PCM for the sound output under a lock of its own.
#include <QBasicTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "platform/message_target.h"
#include "platform/qt/qt_video_widget.h"
#include "player/engine/frame_sink.h"
#include "player/output/undecodable_video_notice.h"
#include "player/output/video_output.h"
#include "player/sound/audio_frames.h"

class CQxVideoContainer;

constexpr uint32_t WM_VIDEO_CONTEXT_MENU = 0x8D81;     // wParam x, lParam y
constexpr uint32_t WM_VIDEO_TOGGLE_MAXIMIZE = 0x8D82;  // wParam x, lParam y
// The drag timer: 100 ms after a drag step of a single fisheye view, back
// to its full size.
constexpr int kDragPanIntervalMs = 100;

class CQxVideoBox : public platform::QtVideoWidget, public FrameSink {
 public:
  // `mainWindow` receives the context-menu and maximise requests; the
  // fisheye views follow `settings`, which must outlive the box.
  CQxVideoBox(CQxVideoContainer* container, platform::MessageTargetPtr mainWindow,
              const DewarpSettings& settings = DefaultDewarpSettings());
  ~CQxVideoBox() override;

  // Play thread.
  void ShowVideoFrame(const VyxFrame& frame) override;
  void DrainVideo() override;
  void PlayAudioFrame(const VyxFrame& frame) override;
  void DrainAudio() override;
  bool IsSoundPending() const override;
  void Reset() override;

  // User-interface thread.
  void ResetStats() override;
  int GetViewMode() const override;
  void ClearPicture() override;
  void LeaveViewMode() override;
  void StartArchive() override;
  void SetOutputFormat(int bitsPerPixel, int overlay);
  // Saves the current picture as a JPEG file, or as a BMP file with asBmp.
  // 1 on success, -1 when there is no picture or it could not be saved;
  // *reason (if given) then holds the system's error when the file could
  // not be written.
  int Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason = nullptr);
  void SetOsdPosition(int position);
  // Fisheye views of square pictures (see VideoOutput).
  void ChangeViewMode(int mode);
  int ViewModeWidth(int mode) const;
  int ViewModeHeight(int mode) const;
  // Mouse input in the box's client coordinates; true when the picture
  // changes.
  bool OnDewarpMouse(int message, int delta, int x, int y);

  void CountFps(uint32_t frameSecond);
  std::wstring GetTimeText() const;
  std::wstring GetTitleText() const;
  std::wstring GetFpsText() const;
  // Never waits for a frame being decoded.
  bool HasDrawnFrame() const;
  // Called on the play thread after each frame drawn (tools and tests
  // follow playback with it).
  void SetDrawObserver(std::function<void(const VYX_FRAME_HEADER&)> observer);
  CQxAudioFrames& GetAudio() { return audio_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  CQxVideoContainer* container_;
  platform::MessageTargetPtr mainWindow_;
  QBasicTimer dragPanTimer_;
  CQxAudioFrames audio_;
  UndecodableVideoNotice undecodable_;
  VideoOutput video_;
};
