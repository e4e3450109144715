// The main window's fisheye controls: the mount buttons, the six view
// buttons and the mouse wheel.
#include <QWheelEvent>

#include "app/orlenta_dlg.h"
#include "dewarp/fisheye_view.h"
#include "player/widgets/video_box.h"

namespace {

constexpr int kCeilingMount = 1;
constexpr int kDeskMount = 2;
constexpr int kWallMount = 3;

bool InRange(int mode, int first, int last) { return mode >= first && mode <= last; }

}  // namespace

void COrlentaDlg::ConnectViewCommands() {
  connect(m_btnFisheyeView, &QAbstractButton::clicked, this, &COrlentaDlg::OnFisheyeView);
  connect(m_btnSingleView, &QAbstractButton::clicked, this, &COrlentaDlg::OnSingleView);
  connect(m_btnQuadView, &QAbstractButton::clicked, this, &COrlentaDlg::OnQuadView);
  connect(m_btnDual180, &QAbstractButton::clicked, this, &COrlentaDlg::OnDual180);
  connect(m_btn360, &QAbstractButton::clicked, this, &COrlentaDlg::On360);
  connect(m_btnWall180, &QAbstractButton::clicked, this, &COrlentaDlg::OnWall180);
  connect(m_btnCeilingMount, &QAbstractButton::clicked, this, [this] { OnMount(kCeilingMount); });
  connect(m_btnDeskMount, &QAbstractButton::clicked, this, [this] { OnMount(kDeskMount); });
  connect(m_btnWallMount, &QAbstractButton::clicked, this, [this] { OnMount(kWallMount); });
}

int COrlentaDlg::GetMountFamily(int mode) {
  if (InRange(mode, 1, 3)) return kDeskMount;
  if (InRange(mode, 11, 20)) return kCeilingMount;
  if (InRange(mode, 21, 26)) return kWallMount;
  return 0;
}

int COrlentaDlg::CurrentViewMode() const {
  const CQxVideoBox* box = m_videoContainer->GetVideoBox();
  return box ? box->GetViewMode() : -1;
}

void COrlentaDlg::ChangeViewMode(int target) {
  CQxVideoBox* box = m_videoContainer->GetVideoBox();
  if (!box) return;
  box->ChangeViewMode(target);
  m_videoContainer->SetPictureSize(box->ViewModeWidth(target), box->ViewModeHeight(target));
  m_videoContainer->RecalcLayout();
  m_videoContainer->RefreshPausedPicture();
}

void COrlentaDlg::OnFisheyeView() {
  if (CurrentViewMode() != 0) ChangeViewMode(0);
  m_btnFisheyeView->SetCheck(1);
  for (CxSkinButton* button : {m_btnWall180, m_btnSingleView, m_btnDual180, m_btn360, m_btnQuadView})
    button->SetCheck(0);
}

void COrlentaDlg::OnSingleView() {
  const int target = m_btnDeskMount->GetCheck() ? 1 : m_btnWallMount->GetCheck() ? 21 : 11;
  if (CurrentViewMode() != target) ChangeViewMode(target);
}

void COrlentaDlg::OnQuadView() {
  const int mode = CurrentViewMode();
  if (m_btnWallMount->GetCheck()) {
    ChangeViewMode(23);
  } else if (m_btnDeskMount->GetCheck()) {
    ChangeViewMode(7);
  } else if (!InRange(mode, 17, 20) && !InRange(mode, 23, 26)) {
    ChangeViewMode(17);
  }
}

void COrlentaDlg::OnDual180() {
  const int mode = CurrentViewMode();
  if (m_btnDeskMount->GetCheck()) {
    if (mode != 2 && mode != 3) ChangeViewMode(2);
  } else if (mode != 12 && mode != 13) {
    ChangeViewMode(12);
  }
}

void COrlentaDlg::On360() {
  if (m_btnDeskMount->GetCheck()) {
    ChangeViewMode(4);
  } else if (!InRange(CurrentViewMode(), 14, 16)) {
    ChangeViewMode(14);
  }
}

void COrlentaDlg::OnWall180() {
  if (CurrentViewMode() != 22) ChangeViewMode(22);
}

void COrlentaDlg::OnMount(int family) {
  m_btnCeilingMount->SetCheck(family == kCeilingMount);
  m_btnDeskMount->SetCheck(family == kDeskMount);
  m_btnWallMount->SetCheck(family == kWallMount);
  UpdateViewButtons();
  const int current = GetMountFamily(CurrentViewMode());
  if (current != 0 && current != family) OnFisheyeView();
}

void COrlentaDlg::wheelEvent(QWheelEvent* event) {
  CQxVideoBox* box = m_videoContainer ? m_videoContainer->GetVideoBox() : nullptr;
  if (box && box->OnDewarpMouse(kDewarpWheel, event->angleDelta().y(), 0, 0))
    m_videoContainer->RefreshPausedPicture();
  event->accept();
}
