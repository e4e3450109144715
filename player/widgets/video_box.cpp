#include "player/widgets/video_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include "player/output/snapshot_writer.h"
#include "player/widgets/video_container.h"

CQxVideoBox::CQxVideoBox(CQxVideoContainer* container, platform::MessageTargetPtr mainWindow,
                         const DewarpSettings& settings)
    : platform::QtVideoWidget(container),
      container_(container),
      mainWindow_(std::move(mainWindow)),
      video_(*this, VideoDecodeOptions{}, settings) {
  video_.SetOutcomeObserver(
      [this](const VYX_FRAME_HEADER& header, const DecodeOutcome& outcome) { undecodable_.Observe(header, outcome); });
}

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

void CQxVideoBox::DrainAudio() { audio_.DrainAudio(); }

bool CQxVideoBox::IsSoundPending() const { return audio_.IsSoundPending(); }

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

void CQxVideoBox::StartArchive() { undecodable_.StartArchive(); }

void CQxVideoBox::SetOsdPosition(int position) { video_.SetOsdPosition(position); }

int CQxVideoBox::Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  return WriteSnapshot(video_.SnapshotImage(), path, asBmp, reason);
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

void CQxVideoBox::ChangeViewMode(int mode) { video_.ChangeViewMode(mode); }

int CQxVideoBox::ViewModeWidth(int mode) const { return video_.ViewModeWidth(mode); }

int CQxVideoBox::ViewModeHeight(int mode) const { return video_.ViewModeHeight(mode); }

bool CQxVideoBox::OnDewarpMouse(int message, int delta, int x, int y) {
  return video_.OnDewarpMouse(message, delta, x, y, width(), height());
}

void CQxVideoBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    // Another tile selected: a paused picture shows it at once.
    if (OnDewarpMouse(kDewarpButtonDown, 0, p.x(), p.y()) && container_) container_->RefreshPausedPicture();
    update();
  }
  platform::QtVideoWidget::mousePressEvent(event);
}

void CQxVideoBox::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    if (OnDewarpMouse(kDewarpMouseMove, 0, p.x(), p.y())) {
      if (container_) container_->RefreshPausedPicture();
      // A single view drags at its smaller moving size until the timer.
      const int mode = GetViewMode();
      if ((mode == 1 || mode == 11 || mode == 21) && !dragPanTimer_.isActive())
        dragPanTimer_.start(kDragPanIntervalMs, this);
    }
  }
  platform::QtVideoWidget::mouseMoveEvent(event);
}

void CQxVideoBox::timerEvent(QTimerEvent* event) {
  if (event->timerId() != dragPanTimer_.timerId()) {
    platform::QtVideoWidget::timerEvent(event);
    return;
  }
  dragPanTimer_.stop();
  if (video_.RestoreSingleViewSize() && container_) container_->RefreshPausedPicture();
}

void CQxVideoBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    OnDewarpMouse(kDewarpButtonUp, 0, p.x(), p.y());
  }
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
