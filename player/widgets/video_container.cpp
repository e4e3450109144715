#include "player/widgets/video_container.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPainter>

#include "player/widgets/video_box.h"

CQxVideoContainer::CQxVideoContainer(QWidget* parent, platform::Clock& clock, const DewarpSettings& settings)
    : QWidget(parent), engine_(clock), settings_(settings) {}

CQxVideoContainer::~CQxVideoContainer() {
  // The play thread draws into the box: it ends first.
  Shutdown();
  delete box_;
  box_ = nullptr;
}

bool CQxVideoContainer::Start(platform::MessageTargetPtr mainWindow) {
  if (box_) return false;
  engine_.GetParser().SetNotifyWindow(mainWindow);
  setAcceptDrops(true);
  CreateVideoBox(std::move(mainWindow));
  return engine_.Start(*box_);
}

void CQxVideoContainer::Shutdown() {
  engine_.Shutdown();
  // With the play thread gone nothing queues sound any more.
  if (box_) box_->GetAudio().StopAudio();
  dropTarget_.SetBusy(false);
}

void CQxVideoContainer::CreateVideoBox(platform::MessageTargetPtr mainWindow) {
  box_ = new CQxVideoBox(this, std::move(mainWindow), settings_);
  box_->setWindowTitle(QStringLiteral("Camera %1").arg(1));
  box_->setGeometry(rect().adjusted(1, 1, -1, -1));
  box_->SetOutputFormat(32, 0);
  box_->show();
}

int CQxVideoContainer::OpenFile(const std::string& path) {
  // Until the new archive's first picture: black, not the last archive's
  // picture, whether or not the new one's video can be shown.
  if (box_) box_->ClearPicture();
  const int opened = engine_.OpenFile(path);
  if (opened) dropTarget_.SetBusy(true);
  return opened;
}

void CQxVideoContainer::Play() {
  engine_.Play();
  // Play resumes, or restarts when the archive has a record to start from.
  if (engine_.GetMode() == PLAY_MODE_PLAY) dropTarget_.SetBusy(true);
}

void CQxVideoContainer::Resume(bool restart) {
  engine_.Resume(restart);
  dropTarget_.SetBusy(true);
}

void CQxVideoContainer::Stop() {
  engine_.Stop();
  dropTarget_.SetBusy(false);
}
void CQxVideoContainer::SetMode(int mode) { engine_.SetMode(mode); }
void CQxVideoContainer::SeekTo(uint32_t seconds) { engine_.SeekTo(seconds); }

void CQxVideoContainer::RefreshPausedPicture() {
  // A step under way shows the frame after the seek, drawn in the new view,
  // and pauses again.
  const int mode = engine_.GetMode();
  if (mode == PLAY_MODE_PAUSE || mode == PLAY_MODE_STEP_FORWARD) engine_.SeekTo(engine_.GetPosition());
}

void CQxVideoContainer::SetPictureSize(int width, int height) { engine_.SetPictureSize(width, height); }
uint32_t CQxVideoContainer::GetPosition() const { return engine_.GetPosition(); }
CQxVyxParser& CQxVideoContainer::GetParser() { return engine_.GetParser(); }
std::string CQxVideoContainer::GetFileName() const { return engine_.GetFileName(); }
bool CQxVideoContainer::IsScaleOn() const { return scale_; }
bool CQxVideoContainer::IsSquareSource() const { return engine_.IsSquareSource(); }
int CQxVideoContainer::GetMode() const { return engine_.GetMode(); }
bool CQxVideoContainer::IsSuspended() const { return engine_.IsSuspended(); }

void CQxVideoContainer::SetScale(bool on) {
  scale_ = on;
  RecalcLayout();
}

int CQxVideoContainer::Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  return box_ ? box_->Snapshot(path, asBmp, reason) : -1;
}

void CQxVideoContainer::SetOsdPosition(int position) {
  if (box_) box_->SetOsdPosition(position);
}

void CQxVideoContainer::RecalcLayout() {
  if (!box_) return;
  const int W = width(), H = height();
  uint16_t w, h;
  engine_.GetPictureSize(w, h);
  if (w == 0 || h == 0 || !scale_) {
    box_->setGeometry(0, 0, W, H);
    return;
  }
  int boxWidth = w * H / h;
  int boxHeight = H;
  if (boxWidth > W) {
    boxWidth = W;
    boxHeight = h * W / w;
  }
  box_->setGeometry(W / 2 - boxWidth / 2, H / 2 - boxHeight / 2, boxWidth, boxHeight);
}

void CQxVideoContainer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

void CQxVideoContainer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RecalcLayout();
}

bool CQxVideoContainer::IsBlockedByModalWindow() const {
  const QWidget* modal = QApplication::activeModalWidget();
  return modal && modal != window();
}

void CQxVideoContainer::dragEnterEvent(QDragEnterEvent* event) {
  if (!IsBlockedByModalWindow() && dropTarget_.OnDragEnter(*event->mimeData()) == DROPEFFECT_COPY) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CQxVideoContainer::dragMoveEvent(QDragMoveEvent* event) {
  if (!IsBlockedByModalWindow() && dropTarget_.OnDragOver(*event->mimeData()) == DROPEFFECT_COPY) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CQxVideoContainer::dragLeaveEvent(QDragLeaveEvent* event) {
  dropTarget_.OnDragLeave();
  event->accept();
}

void CQxVideoContainer::dropEvent(QDropEvent* event) {
  if (dropTarget_.OnDrop(*event->mimeData(), window())) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}
