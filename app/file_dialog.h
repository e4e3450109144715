#pragma once
// File dialogs for opening and saving.  The program asks through
// CFileDialog; the installed back end puts the question to the user (the Qt
// file dialog, qt_file_dialog.h) or, in tests, answers it.  Without a back
// end every dialog is cancelled.
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "platform/backend_slot.h"

class QWidget;

constexpr uint32_t OFN_OVERWRITEPROMPT = 0x00000002;  // ask before replacing a file
constexpr uint32_t OFN_HIDEREADONLY = 0x00000004;     // no "open read-only" choice

struct FileFilter {
  QString description;  // "Talvessa Archived Files (*.vyx)"
  QStringList patterns;  // "*.vyx"
};

// Pairs of description and patterns separated by "|", patterns by ";":
// "Talvessa Archived Files (*.vyx)|*.vyx|All Files(*.*)|*.*|".
QList<FileFilter> ParseFileFilter(const QString& filter);

struct FileDialogRequest {
  bool open = true;          // false: a save dialog
  QString defaultExtension;  // without the dot; empty for none
  QString fileName;          // initial name
  uint32_t flags = 0;
  QList<FileFilter> filters;
};

class FileDialogBackend {
 public:
  virtual ~FileDialogBackend() = default;
  // The path the user chose, or empty when the dialog was cancelled.
  virtual QString Ask(QWidget* parent, const FileDialogRequest& request) = 0;
};

// Installs a back end (null: none) and returns the one it replaces.
inline std::shared_ptr<FileDialogBackend> SetFileDialogBackend(
    std::shared_ptr<FileDialogBackend> backend) {
  return platform::BackendSlot<FileDialogBackend>::Set(std::move(backend));
}

// Installs a back end for the lifetime of the object.
using ScopedFileDialogBackend = platform::ScopedBackend<FileDialogBackend>;

class CFileDialog {
 public:
  CFileDialog(bool openFileDialog, const QString& defaultExtension, const QString& fileName,
              uint32_t flags, const QString& filter, QWidget* parent);

  // True when the user chose a file.  A name chosen without an extension
  // gets the default extension.
  bool DoModal();
  QString GetPathName() const { return path_; }

 private:
  FileDialogRequest request_;
  QWidget* parent_;
  QString path_;
};
