#include "platform/qt/qt_video_widget.h"

#include <QCoreApplication>
#include <QPainter>
#include <atomic>

#include "platform/qt/qt_surface.h"

namespace platform {

namespace {

// A drawing thread's request for a repaint.  Qt's queue orders the post and
// the delivery in code ThreadSanitizer cannot see; the release at the end
// of construction and the acquire on receipt make the hand-over visible.
class RepaintRequest : public QEvent {
 public:
  RepaintRequest() : QEvent(Type()) { published_.store(true, std::memory_order_release); }
  void Receive() const { published_.load(std::memory_order_acquire); }
  static QEvent::Type Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

 private:
  std::atomic<bool> published_{false};
};

}  // namespace

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
  QCoreApplication::postEvent(this, new RepaintRequest);
}

bool QtVideoWidget::event(QEvent* event) {
  if (auto* request = dynamic_cast<RepaintRequest*>(event)) {
    request->Receive();
    {
      std::lock_guard lock(mutex_);
      updateQueued_ = false;
    }
    update();
    return true;
  }
  return QWidget::event(event);
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
