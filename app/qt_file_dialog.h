#pragma once
// File dialogs on Qt: Qt's own file dialog, the same on every desktop.
// Filters match as on the recorders' home system: case-insensitively, and
// "*.*" lists every file, with or without an extension.
#include <QFileDialog>

#include "app/file_dialog.h"

class QtFileDialogBackend : public FileDialogBackend {
 public:
  QString Ask(QWidget* parent, const FileDialogRequest& request) override;
};

// Sets the dialog up for the request (its mode, filters, default suffix and
// overwrite question).
void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request);
