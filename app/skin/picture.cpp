#include "app/skin/picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QResource>
#include <new>

#include "app/resources.h"
#include "platform/message_box.h"

namespace {

constexpr char kCaption[] = "CPicture Error";

void ShowPictureError(const char* text) { platform::ShowErrorBox(kCaption, text); }

}  // namespace

CPicture::~CPicture() = default;

void CPicture::Free() {
  m_picture = QImage();
  m_height = 0;
  m_size = 0;
  m_width = 0;
}

bool CPicture::Load(int resourceId, const char* type) {
  Free();
  const QString path = ResourcePath(type, resourceId);
  const QResource resource(path);
  if (!resource.isValid() || QFileInfo(path).isDir()) {
    ShowPictureError("FindResource() Failed\t");
    return false;
  }
  const QByteArray data = resource.uncompressedData();
  if (data.isEmpty()) {
    ShowPictureError("LoadResource() Failed\t");
    return false;
  }
  const bool loaded = LoadFromMemory(data.constData(), static_cast<size_t>(data.size()));
  m_size = static_cast<size_t>(data.size());
  if (!loaded) {
    m_width = m_height = 0;
    return false;
  }
  m_width = m_picture.width();
  m_height = m_picture.height();
  return true;
}

bool CPicture::LoadFromMemory(const void* data, size_t size) {
  QByteArray copy;
  try {
    copy = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
  } catch (const std::bad_alloc&) {
    ShowPictureError("Can not allocate enough memory\t");
    return false;
  }
  QBuffer stream(&copy);
  stream.open(QIODevice::ReadOnly);
  QImageReader reader(&stream);
  QImage picture = reader.read();
  if (picture.isNull()) {
    if (reader.error() == QImageReader::UnsupportedFormatError)
      ShowPictureError("IPicture interface is not supported\t");
    return false;
  }
  m_picture = std::move(picture);
  return true;
}

bool CPicture::Draw(QPainter* painter, const QRect& rect) const {
  if (!painter || m_picture.isNull()) return false;
  if (!painter->isActive()) {
    ShowPictureError("Can not allocate enough memory\t");
    return false;
  }
  if (rect.width() > 0 && rect.height() > 0) painter->drawImage(rect, m_picture);
  return true;
}
