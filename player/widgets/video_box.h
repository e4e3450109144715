#pragma once
// The video box: the window pictures are shown in.  On the play thread it
// decodes each video frame through the decoder front (re-opened when the
// codec class or the picture size changes, then waiting for a key frame),
// and draws it with its title and recording time through the renderer.  On
// the user-interface thread it paints, saves snapshots and reports mouse
// input to the main window.  One lock guards the decoder, the buffers, the
// renderer and the view mode.  The audio frames go to the box's sound
// side, which queues their PCM for the sound output under a lock of its own.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/message_target.h"
#include "platform/qt/qt_video_widget.h"
#include "player/audio_frames.h"
#include "player/frame_sink.h"
#include "player/render.h"
#include "player/vdecode.h"

class CQxVideoContainer;

constexpr uint32_t WM_VIDEO_CONTEXT_MENU = 0x8D81;     // wParam x, lParam y
constexpr uint32_t WM_VIDEO_TOGGLE_MAXIMIZE = 0x8D82;  // wParam x, lParam y

class CQxVideoBox : public platform::QtVideoWidget, public FrameSink {
 public:
  // `mainWindow` receives the context-menu and maximise requests.
  CQxVideoBox(CQxVideoContainer* container, platform::MessageTargetPtr mainWindow);
  ~CQxVideoBox() override;

  // Play thread.
  void ShowVideoFrame(const VyxFrame& frame) override;
  void PlayAudioFrame(const VyxFrame& frame) override;
  void Reset() override;

  // User-interface thread.
  void ResetStats() override;
  int GetViewMode() const override;
  void ClearPicture() override;
  void LeaveViewMode() override;
  void SetOutputFormat(int bitsPerPixel, int overlay);
  // Saves the current picture as a JPEG file, or as a BMP file with asBmp.
  // 1 on success, -1 when there is no picture or it could not be saved;
  // *reason (if given) then holds the system's error when the file could
  // not be written.
  int Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason = nullptr);
  void SetOsdPosition(int position);

  void CountFps(uint32_t frameSecond);
  std::wstring GetTimeText() const;
  std::wstring GetTitleText() const;
  std::wstring GetFpsText() const;
  bool HasDrawnFrame() const;
  // Called on the play thread after each frame drawn (tools and tests
  // follow playback with it).
  void SetDrawObserver(std::function<void(const VYX_FRAME_HEADER&)> observer);
  CQxAudioFrames& GetAudio() { return audio_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Re-opens the decoder for a new codec class or picture size; false when
  // no decoder could be had for it.
  bool OpenDecoderLocked(const LOCAL_FRAME_INDEX& record);
  int SnapshotDewarp(const std::wstring& path, std::error_code* reason);
  int SaveSnapshot(const std::wstring& path, bool asBmp, std::error_code* reason);

  platform::MessageTargetPtr mainWindow_;

  // Recursive: the user-interface thread's view changes call back into
  // operations that take it too.
  mutable std::recursive_mutex mutex_;
  int width_ = 0;  // -1 after Reset: the next frame re-opens
  int height_ = 0;
  CQxAudioFrames audio_;
  int codecClass_ = CODEC_CLASS_MPEG4;
  bool decoderOpen_ = false;
  CQxVDecode decoder_;
  CQxRender render_;
  std::vector<uint8_t> source_;
  std::vector<uint8_t> destination_;
  int overlay_ = 1;
  int bitsPerPixel_ = 32;
  wchar_t titleText_[20] = {};
  wchar_t timeText_[32] = {};
  wchar_t fpsText_[25] = {};
  bool drawnFrame_ = false;
  bool keySeen_ = false;
  int fpsCount_ = 0;
  uint32_t fpsSecond_ = 0;
  int viewMode_ = -1;
  std::function<void(const VYX_FRAME_HEADER&)> drawObserver_;
};
