#include "app/file_dialog.h"

#include <QFileInfo>

#include "platform/trace.h"

QList<FileFilter> ParseFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QList<FileFilter> filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;  // the closing "|"
    filters.append({parts[i], parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)});
  }
  return filters;
}

CFileDialog::CFileDialog(bool openFileDialog, const QString& defaultExtension,
                         const QString& fileName, uint32_t flags, const QString& filter,
                         QWidget* parent)
    : request_{openFileDialog, defaultExtension, fileName, flags, ParseFileFilter(filter)},
      parent_(parent) {}

bool CFileDialog::DoModal() {
  const std::shared_ptr<FileDialogBackend> backend =
      platform::BackendSlot<FileDialogBackend>::Current();
  if (!backend) {
    platform::Trace("No file dialog can be shown\n");
    return false;
  }
  QString path = backend->Ask(parent_, request_);
  if (path.isEmpty()) return false;
  if (!request_.defaultExtension.isEmpty() && QFileInfo(path).suffix().isEmpty())
    path += QLatin1Char('.') + request_.defaultExtension;
  path_ = path;
  return true;
}
