#include "player/widgets/video_box.h"

#include <QMouseEvent>
#include <QPainter>

#include "player/widgets/video_container.h"

CQxVideoBox::CQxVideoBox(CQxVideoContainer* container, platform::MessageTargetPtr mainWindow)
    : platform::QtVideoWidget(container), mainWindow_(std::move(mainWindow)), video_(*this) {}

CQxVideoBox::~CQxVideoBox() = default;

void CQxVideoBox::SetOutputFormat(int bitsPerPixel, int overlay) { video_.SetOutputFormat(bitsPerPixel, overlay); }

void CQxVideoBox::ShowVideoFrame(const VyxFrame& frame) { video_.ShowVideoFrame(frame); }

void CQxVideoBox::DrainVideo() { video_.DrainVideo(); }

void CQxVideoBox::SetDrawObserver(std::function<void(const VYX_FRAME_HEADER&)> observer) {
  if (!observer) {
    video_.SetDrawObserver(nullptr);
    return;
  }
  video_.SetDrawObserver([observer = std::move(observer)](const DrawnPicture& drawn) { observer(drawn.header); });
}

void CQxVideoBox::PlayAudioFrame(const VyxFrame& frame) { audio_.PlayAudioFrame(frame); }

void CQxVideoBox::Reset() {
  video_.Reset();
  // Outside the decode lock: stopping waits for the sound output to hand
  // its buffers back, which needs nothing of the picture's.
  audio_.StopAudio();
}

void CQxVideoBox::ResetStats() { video_.ResetStats(); }

void CQxVideoBox::CountFps(uint32_t frameSecond) { video_.CountFps(frameSecond); }

int CQxVideoBox::GetViewMode() const { return video_.GetViewMode(); }

void CQxVideoBox::ClearPicture() {
  video_.ClearPicture();
  repaint();
}

void CQxVideoBox::LeaveViewMode() { video_.LeaveViewMode(); }

void CQxVideoBox::SetOsdPosition(int position) { video_.SetOsdPosition(position); }

int CQxVideoBox::Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  return video_.Snapshot(path, asBmp, reason);
}

std::wstring CQxVideoBox::GetTimeText() const { return video_.GetTimeText(); }

std::wstring CQxVideoBox::GetTitleText() const { return video_.GetTitleText(); }

std::wstring CQxVideoBox::GetFpsText() const { return video_.GetFpsText(); }

bool CQxVideoBox::HasDrawnFrame() const { return video_.HasDrawnFrame(); }

// Paints only what was last presented: a repaint never waits behind the
// frame being decoded.
void CQxVideoBox::paintEvent(QPaintEvent* event) {
  if (HasDrawnFrame()) {
    platform::QtVideoWidget::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

void CQxVideoBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && mainWindow_) {
    const QPoint p = event->position().toPoint();
    mainWindow_->Post(WM_VIDEO_CONTEXT_MENU, static_cast<uintptr_t>(p.x()), p.y());
  }
  platform::QtVideoWidget::mouseReleaseEvent(event);
}

void CQxVideoBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && mainWindow_) {
    const QPoint p = event->position().toPoint();
    mainWindow_->Post(WM_VIDEO_TOGGLE_MAXIMIZE, static_cast<uintptr_t>(p.x()), p.y());
  }
  platform::QtVideoWidget::mouseDoubleClickEvent(event);
}
