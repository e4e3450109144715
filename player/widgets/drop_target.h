#pragma once
// The drop target of the video area: a user opens an archive by dragging
// one ".vyx" file onto it.  A drag is accepted when it offers exactly one
// local file whose name contains ".vyx" (anywhere, case-sensitive: a
// substring test, not a test of the extension), unless it also offers the
// program's private format, or playback runs (paused included).  The first
// move over the target examines the file list; the rest of the drag keeps
// that verdict.  A drop posts the full path to the main window as a
// WM_OPEN_DROPPED_FILE event.
#include <QObject>
#include <QString>
#include <cstdint>

#include "platform/qt/private_message_event.h"

class QMimeData;

// Drop target -> main window: open the file.  lParam 1; the path travels
// in the event (DroppedFileEvent), whole, however long.
constexpr uint32_t WM_OPEN_DROPPED_FILE = 0xF56;

// Drags that offer this format are refused: the program marks its own
// data with it.
inline constexpr char kDropRefusalFormat[] = "TALVESSA_ORLENTA_34D10FAF_F403_43ea_A4FA_912ABA8B86F0";

class DroppedFileEvent : public platform::PrivateMessageEvent {
 public:
  explicit DroppedFileEvent(QString path)
      : platform::PrivateMessageEvent(WM_OPEN_DROPPED_FILE, 0, 1), path_(std::move(path)) {}
  const QString& Path() const { return path_; }

 private:
  QString path_;
};

enum DropEffect { DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1 };

class CQxDropTarget {
 public:
  // Set while playback runs (from an open or Play until Stop).
  void SetBusy(bool busy) { busy_ = busy; }
  bool IsBusy() const { return busy_; }

  DropEffect OnDragEnter(const QMimeData& data) const;
  DropEffect OnDragOver(const QMimeData& data);
  void OnDragLeave();
  // Posts the path of the file to `mainWindow`; false when the data holds
  // no file to open.
  bool OnDrop(const QMimeData& data, QObject* mainWindow);

 private:
  void Examine(const QMimeData& data);

  bool examined_ = false;
  bool acceptable_ = false;
  bool busy_ = false;
};
