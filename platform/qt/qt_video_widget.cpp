#include "platform/qt/qt_video_widget.h"

#include <QMetaObject>
#include <QPainter>

#include "platform/qt/qt_surface.h"

namespace platform {

QtVideoWidget::QtVideoWidget(QWidget* parent) : QWidget(parent) {
  // Every paint covers the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int32_t QtVideoWidget::Present(Surface& picture) {
  auto* surface = dynamic_cast<QtSurface*>(&picture);
  if (!surface) return SurfaceResult::kUnsupportedFormat;
  std::lock_guard lock(mutex_);
  const int32_t result = surface->SwapPicture(picture_);
  if (result == SurfaceResult::kOk) QueueUpdateLocked();
  return result;
}

void QtVideoWidget::Refresh() {
  std::lock_guard lock(mutex_);
  QueueUpdateLocked();
}

QImage QtVideoWidget::CurrentPicture() const {
  std::lock_guard lock(mutex_);
  return picture_;
}

// One update in flight at a time: a drawing thread faster than the screen
// does not flood the event queue.  Events queued for a widget that is
// destroyed are discarded with it.
void QtVideoWidget::QueueUpdateLocked() {
  if (updateQueued_) return;
  updateQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        {
          std::lock_guard lock(mutex_);
          updateQueued_ = false;
        }
        update();
      },
      Qt::QueuedConnection);
}

void QtVideoWidget::paintEvent(QPaintEvent*) {
  // A shared copy: the painter reads it outside the lock, and a renderer
  // that is handed this picture back copies before writing to it.
  const QImage picture = CurrentPicture();
  QPainter painter(this);
  if (picture.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), picture);
}

}  // namespace platform
