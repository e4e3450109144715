#pragma once
// The video container: the black area of the main window that holds the
// video box, and the owner of the playback engine (the archive reader and
// the play thread) and of the drop target.  Every operation runs on the
// user-interface thread; the play thread reports to the main window by
// posted messages.
#include <QWidget>
#include <cstdint>
#include <string>
#include <system_error>

#include "dewarp/dewarp_settings.h"
#include "platform/clock.h"
#include "platform/message_target.h"
#include "player/engine/playback_engine.h"
#include "player/widgets/drop_target.h"

class CQxVideoBox;

class CQxVideoContainer : public QWidget {
 public:
  // The fisheye views follow `settings`, which must outlive the container.
  explicit CQxVideoContainer(QWidget* parent = nullptr, platform::Clock& clock = platform::SystemClock(),
                             const DewarpSettings& settings = DefaultDewarpSettings());
  ~CQxVideoContainer() override;

  // Once, from the main window's set-up: the play thread (suspended), the
  // drop target and the video box.  `mainWindow` receives the reader's, the
  // play thread's and the video box's messages.
  bool Start(platform::MessageTargetPtr mainWindow);
  // Ends the play thread and stops the sound; the container then plays no
  // more.  Called by the main window before its widgets go, and by the
  // destructor.
  void Shutdown();

  // Opens an archive and plays it; the video box is black until its first
  // picture.
  int OpenFile(const std::string& path);
  void Play();
  void Resume(bool restart);
  void Stop();
  void SetMode(int mode);
  void SeekTo(uint32_t seconds);
  // While paused: shows the current picture again (after a change of the
  // fisheye view), by seeking to it.
  void RefreshPausedPicture();
  // The picture size the layout keeps the shape of (a fisheye view's).
  void SetPictureSize(int width, int height);
  uint32_t GetPosition() const;
  CQxVyxParser& GetParser();
  std::string GetFileName() const;
  void SetScale(bool on);
  bool IsScaleOn() const;
  // 1 on success, else -1 with *reason (if given) set to the system's
  // error when the file could not be written.
  int Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason = nullptr);
  void SetOsdPosition(int position);
  bool IsSquareSource() const;
  int GetMode() const;
  // True while the play thread waits to be resumed (after a pause or a step
  // has taken effect, or a stop).
  bool IsSuspended() const;
  CQxVideoBox* GetVideoBox() const { return box_; }
  const CQxDropTarget& GetDropTarget() const { return dropTarget_; }
  // Refuses drops while something other than playback uses the reader
  // (the AVI conversion).
  void SetDropTargetBusy(bool busy) { dropTarget_.SetBusy(busy); }

  // Places the video box: centred, with the picture's aspect when the scale
  // flag is on, else filling the container.
  void RecalcLayout();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateVideoBox(platform::MessageTargetPtr mainWindow);
  // While a modal window of the program (the AVI conversion, a file
  // dialog, the about box) is open over the main window, drops are refused.
  bool IsBlockedByModalWindow() const;

  PlaybackEngine engine_;
  CQxDropTarget dropTarget_;
  const DewarpSettings& settings_;
  CQxVideoBox* box_ = nullptr;
  bool scale_ = true;
};
