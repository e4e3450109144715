#include "player/widgets/drop_target.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>

namespace {

bool OffersRefusalFormat(const QMimeData& data) {
  return data.hasFormat(QString::fromLatin1(kDropRefusalFormat));
}

// The shell's file list; other URLs are not files.
bool OffersFileList(const QMimeData& data) { return data.hasUrls(); }

// The path of the first entry when it is a local file, else empty.
QString FirstLocalFile(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
  return urls.first().toLocalFile();
}

}  // namespace

DropEffect CQxDropTarget::OnDragEnter(const QMimeData& data) const {
  if (OffersRefusalFormat(data)) return DROPEFFECT_NONE;
  return OffersFileList(data) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

DropEffect CQxDropTarget::OnDragOver(const QMimeData& data) {
  if (OffersRefusalFormat(data)) return DROPEFFECT_NONE;
  if (!OffersFileList(data)) return DROPEFFECT_NONE;
  if (busy_) return DROPEFFECT_NONE;
  if (!examined_) Examine(data);
  return acceptable_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void CQxDropTarget::Examine(const QMimeData& data) {
  examined_ = true;
  if (data.urls().size() != 1) return;
  const QString name = FirstLocalFile(data);
  if (name.isEmpty()) return;
  acceptable_ = name.contains(QStringLiteral(".vyx"), Qt::CaseSensitive);
}

void CQxDropTarget::OnDragLeave() {
  examined_ = false;
  acceptable_ = false;
}

bool CQxDropTarget::OnDrop(const QMimeData& data, QObject* mainWindow) {
  const bool delivered = OffersFileList(data);
  if (delivered) {
    const QString path = FirstLocalFile(data);
    if (!path.isEmpty() && mainWindow)
      QCoreApplication::postEvent(mainWindow, new DroppedFileEvent(path));
  }
  OnDragLeave();
  return delivered;
}
