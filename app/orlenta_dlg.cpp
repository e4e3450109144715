#include "app/orlenta_dlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/resource.h"
#include "app/resources.h"
#include "app/skin/dialog_item.h"
#include "app/skin/dialog_units.h"
#include "app/time_text_style.h"

namespace {

struct SkinSpec {
  CxSkinButton* COrlentaDlg::*button;
  int bitmap;
  int width;
  int height;
  const char* tip;
};

// Where the background pieces' resources are.
constexpr int kSkinResources[] = {
    artwork::kSkinWhole,   artwork::kSkinTopLeft,    artwork::kSkinTop,
    artwork::kSkinTopRight, artwork::kSkinLeft,      artwork::kSkinRight,
    artwork::kSkinUnderVideo, artwork::kSkinBottomLeft, artwork::kSkinBottom,
    artwork::kSkinBottomRight};

void Place(QWidget* control, int left, int top, int right, int bottom) {
  if (control) control->setGeometry(EdgeRect(left, top, right, bottom));
}

// A window larger than the work area would put its controls out of the
// user's reach: its video area shrinks, keeping its shape, until the whole
// window fits (never below the minimum size).  The window then stays where
// it is, or moves only as far as it must to lie inside the work area.
QRect FitIntoWorkArea(QRect outer, QSize chrome, const QRect& workArea) {
  if (outer.width() > workArea.width() || outer.height() > workArea.height()) {
    const int videoWidth = std::max(1, outer.width() - chrome.width());
    const int videoHeight = std::max(1, outer.height() - chrome.height());
    const int64_t roomWidth = std::max(1, workArea.width() - chrome.width());
    const int64_t roomHeight = std::max(1, workArea.height() - chrome.height());
    int64_t fitWidth = roomWidth, fitHeight = roomHeight;
    if (roomWidth * videoHeight <= roomHeight * videoWidth) {
      fitHeight = videoHeight * roomWidth / videoWidth;
    } else {
      fitWidth = videoWidth * roomHeight / videoHeight;
    }
    outer.setWidth(std::max(kMinimumWindowWidth, chrome.width() + int(fitWidth)));
    outer.setHeight(std::max(kMinimumWindowHeight, chrome.height() + int(fitHeight)));
  }
  outer.moveLeft(std::max(workArea.left(), std::min(outer.left(), workArea.right() + 1 - outer.width())));
  outer.moveTop(std::max(workArea.top(), std::min(outer.top(), workArea.bottom() + 1 - outer.height())));
  return outer;
}

}  // namespace

COrlentaDlg::COrlentaDlg(QWidget* parent, const DewarpSettings& settings)
    : QDialog(parent), m_dewarpSettings(settings) {
  for (size_t i = 0; i < m_skin.size(); ++i) m_skin[i].Load(kSkinResources[i], "JPG");
  m_icon = LoadProgramIcon();

  setWindowTitle(QStringLiteral("Orlenta 2.0.1.30"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(DluToPixels(524, 399));

  CreateControls();
  setWindowIcon(m_icon);
  SkinControls();
  SetupSlider();
  m_messageTarget = platform::QtMessageTarget::Create(this);
  m_videoContainer->Start(m_messageTarget);
  LayoutControls(false);
  BuildMenus();
  ConnectCommands();
}

// The play thread ends while the window it reports to is still whole.
COrlentaDlg::~COrlentaDlg() {
  Shutdown();
  delete m_videoContainer;
  m_videoContainer = nullptr;
}

// The controls in the order of the window's tab order and stacking.
void COrlentaDlg::CreateControls() {
  m_btnSnapshot = new CxSkinButton(IDC_BTN_SNAPSHOT, BS_PUSHBUTTON | WS_GROUP, this);
  m_btnOpen = new CxSkinButton(IDC_BTN_OPEN, BS_PUSHBUTTON, this);
  m_btnConvertAvi = new CxSkinButton(IDC_BTN_CONVERT_AVI, BS_PUSHBUTTON, this);
  m_btnStop = new CxSkinButton(IDC_BTN_STOP, BS_PUSHBUTTON, this);
  m_btnStepBack = new CxSkinButton(IDC_BTN_STEP_BACK, BS_PUSHBUTTON, this);
  m_btnPlay = new CxSkinButton(IDC_BTN_PLAY, BS_PUSHBUTTON, this);
  m_btnPause = new CxSkinButton(IDC_BTN_PAUSE, BS_PUSHBUTTON, this);
  m_btnStepForward = new CxSkinButton(IDC_BTN_STEP_FORWARD, BS_PUSHBUTTON, this);
  m_btnCeilingMount = new CxSkinButton(IDC_BTN_CEILING_MOUNT, BS_AUTORADIOBUTTON | WS_GROUP, this);
  m_btnDeskMount = new CxSkinButton(IDC_BTN_DESK_MOUNT, BS_AUTORADIOBUTTON, this);
  m_btnWallMount = new CxSkinButton(IDC_BTN_WALL_MOUNT, BS_AUTORADIOBUTTON, this);
  m_btnFisheyeView = new CxSkinButton(IDC_BTN_FISHEYE_VIEW, BS_AUTORADIOBUTTON | WS_GROUP, this);
  m_btnSingleView = new CxSkinButton(IDC_BTN_SINGLE_VIEW, BS_AUTORADIOBUTTON, this);
  m_btnQuadView = new CxSkinButton(IDC_BTN_QUAD_VIEW, BS_AUTORADIOBUTTON, this);
  m_btnDual180 = new CxSkinButton(IDC_BTN_DUAL_180, BS_AUTORADIOBUTTON, this);
  m_btn360 = new CxSkinButton(IDC_BTN_360, BS_AUTORADIOBUTTON, this);
  m_btnWall180 = new CxSkinButton(IDC_BTN_WALL_180, BS_AUTORADIOBUTTON, this);

  m_slider = new CBitSlider(IDC_SLIDER_TIME, this);
  m_videoContainer = new CQxVideoContainer(this, platform::SystemClock(), m_dewarpSettings);
  SetDlgCtrlID(m_videoContainer, IDC_VIDEO_CONTAINER);

  m_timeText = new QLabel(this);
  SetDlgCtrlID(m_timeText, IDC_STATIC_TIME);
  StyleTimeText(*m_timeText);

  auto* spare = new QLabel(this);
  SetDlgCtrlID(spare, IDC_STATIC_SPARE);
  spare->setAlignment(Qt::AlignCenter);
  spare->hide();

  for (CxSkinButton* button : {m_btnSnapshot, m_btnConvertAvi, m_btnStop, m_btnStepBack,
                               m_btnPlay, m_btnPause, m_btnStepForward})
    button->setEnabled(false);
  m_slider->setEnabled(false);
}

void COrlentaDlg::SkinControls() {
  static const SkinSpec kSkins[] = {
      {&COrlentaDlg::m_btnStop, artwork::kStopButton, 47, 54, "Stop"},
      {&COrlentaDlg::m_btnStepBack, artwork::kStepBackButton, 43, 54, "Step Backward"},
      {&COrlentaDlg::m_btnPlay, artwork::kPlayButton, 53, 54, "Play"},
      {&COrlentaDlg::m_btnPause, artwork::kPauseButton, 45, 54, "Pause"},
      {&COrlentaDlg::m_btnStepForward, artwork::kStepForwardButton, 41, 54, "Step Forward"},
      {&COrlentaDlg::m_btnOpen, artwork::kOpenButton, 100, 33, "Open VYX"},
      {&COrlentaDlg::m_btnSnapshot, artwork::kSnapshotButton, 100, 33, "Snapshot"},
      {&COrlentaDlg::m_btnConvertAvi, artwork::kConvertAviButton, 100, 33, "Convert AVI"},
      {&COrlentaDlg::m_btnFisheyeView, artwork::kFisheyeViewButton, 45, 54, "Fisheye View"},
      {&COrlentaDlg::m_btnSingleView, artwork::kSingleViewButton, 45, 54, "Single View"},
      {&COrlentaDlg::m_btnWall180, artwork::kWall180Button, 45, 54, "Wall 180 Degree:"},
      {&COrlentaDlg::m_btnQuadView, artwork::kQuadViewButton, 45, 54, "Quad View"},
      {&COrlentaDlg::m_btnDual180, artwork::kDual180Button, 45, 54, "Dual 180 Degree"},
      {&COrlentaDlg::m_btn360, artwork::k360Button, 45, 54, "360 Degree"},
      {&COrlentaDlg::m_btnCeilingMount, artwork::kCeilingMountButton, 36, 33, "Ceiling Mount"},
      {&COrlentaDlg::m_btnDeskMount, artwork::kDeskMountButton, 36, 33, "Desk Mount"},
      {&COrlentaDlg::m_btnWallMount, artwork::kWallMountButton, 36, 33, "Wall Mount"},
  };
  for (const SkinSpec& skin : kSkins)
    (this->*skin.button)->SetSkin(skin.bitmap, skin.width, skin.height, 1, 2, 3, 4, 1, 5, 0, 0, 0);
  for (const SkinSpec& skin : kSkins)
    (this->*skin.button)->SetToolTipText(QString::fromLatin1(skin.tip));
}

void COrlentaDlg::SetupSlider() {
  m_slider->SetCursor(QCursor(Qt::PointingHandCursor));
  m_slider->SetThumbBitmap(artwork::kSliderThumb, 16, 9);
  m_slider->SetChannelBitmaps(artwork::kSliderChannelRight, artwork::kSliderChannelLeft);
  m_slider->SetThumbTop(3);
  m_slider->setRange(0, 10);
  m_slider->setSingleStep(0);
  m_slider->setValue(0);
}

CxSkinButton* COrlentaDlg::Button(int id) const {
  return qobject_cast<CxSkinButton*>(GetDlgItem(this, id));
}

void COrlentaDlg::LayoutControls(bool erase) {
  const int L = 0, T = 0, R = width(), B = height();
  const int W = R - L;

  Place(m_btnOpen, W / 2 - 50, T + 2, W / 2 + 50, T + 35);
  Place(m_btnSnapshot, W / 2 - 155, T + 2, W / 2 - 55, T + 35);
  Place(m_btnConvertAvi, W / 2 + 55, T + 2, W / 2 + 155, T + 35);

  Place(m_btnStop, W / 2 - 122, B - 58, W / 2 - 72, B - 4);
  Place(m_btnStepBack, W / 2 - 73, B - 58, W / 2 - 32, B - 4);
  Place(m_btnPlay, W / 2 - 27, B - 58, W / 2 + 26, B - 4);
  Place(m_btnPause, W / 2 + 28, B - 58, W / 2 + 73, B - 4);
  Place(m_btnStepForward, W / 2 + 75, B - 58, W / 2 + 116, B - 4);
  Place(m_timeText, L + 10, B - 45, L + 115, B - 21);

  CxSkinButton* const fisheyeButtons[] = {m_btnCeilingMount, m_btnDeskMount, m_btnWallMount,
                                          m_btnFisheyeView,  m_btnSingleView, m_btnQuadView,
                                          m_btnDual180,      m_btn360,        m_btnWall180};
  // The source of an archive that could not be opened is no longer shown.
  m_fisheyeInterface = !m_openFailed && m_videoContainer && m_videoContainer->IsSquareSource();
  if (!m_fisheyeInterface) {
    for (CxSkinButton* button : fisheyeButtons) button->hide();
    Place(m_videoContainer, L + 10, T + 37, R - 10, B - 76);
    Place(m_slider, L + 11, B - 76, R - 11, B - 66);
  } else {
    Place(m_btnWallMount, R - 36, T + 2, R, T + 34);
    Place(m_btnDeskMount, R - 72, T + 2, R - 36, T + 34);
    Place(m_btnCeilingMount, R - 108, T + 2, R - 72, T + 34);
    CxSkinButton* const column[] = {m_btnFisheyeView, m_btnSingleView, m_btnQuadView,
                                    m_btnDual180,     m_btn360,        m_btnWall180};
    int top = T + 37;
    for (CxSkinButton* button : column) {
      Place(button, R - 47, top, R - 2, top + 54);
      top += 54;
    }
    for (CxSkinButton* button : fisheyeButtons) {
      button->setEnabled(true);
      button->show();
    }
    Place(m_videoContainer, L + 10, T + 37, R - 50, B - 76);
    Place(m_slider, L + 11, B - 76, R - 51, B - 66);
  }
  (void)erase;  // every repaint here paints the whole background
  update();
}

void COrlentaDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const int L = 0, T = 0, R = width(), B = height();
  const int m = m_fisheyeInterface ? 50 : 10;
  struct Piece {
    SkinPiece piece;
    QRect rect;
  };
  const Piece pieces[] = {
      {kTopLeft, EdgeRect(0, 0, L + 10, T + 37)},
      {kBottomLeft, EdgeRect(0, B - 65, L + 10, B)},
      {kLeft, EdgeRect(0, T + 37, L + 10, B - 65)},
      {kTop, EdgeRect(L + 10, 0, R - m, T + 37)},
      {kTopRight, EdgeRect(R - m, 0, R, T + 37)},
      {kRight, EdgeRect(R - m, T + 37, R, B - 65)},
      {kBottomRight, EdgeRect(R - m, B - 65, R, B)},
      {kBottom, EdgeRect(L + 10, B - 65, R - m, B)},
      {kUnderVideo, EdgeRect(L + 10, B - 76, R - m, B - 65)},
  };
  for (const Piece& piece : pieces) m_skin[piece.piece].Draw(&painter, piece.rect);
}

QMargins COrlentaDlg::FrameMargins() const {
  if (!windowHandle()) return {};
  // While a window manager puts its frame around the window, the frame's
  // window may still be smaller than the window it holds.
  const QMargins frame = windowHandle()->frameMargins();
  if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0) return {};
  return frame;
}

QSize COrlentaDlg::FrameExtent() const {
  const QMargins frame = FrameMargins();
  return {frame.left() + frame.right(), frame.top() + frame.bottom()};
}

void COrlentaDlg::ApplyMinimumSize() {
  const QSize frame = FrameExtent();
  setMinimumSize(kMinimumWindowWidth - frame.width(), kMinimumWindowHeight - frame.height());
}

void COrlentaDlg::ResizeWindow(int width, int height) {
  width = std::max(width, kMinimumWindowWidth);
  height = std::max(height, kMinimumWindowHeight);
  ApplyMinimumSize();
  m_fitRequest = QSize(width, height);
  if (windowHandle() && FrameMargins().isNull()) {
    m_frameWatchEnd = std::chrono::steady_clock::now() + kFrameWatchTime;
    m_fitHeldSince.reset();
    m_refits = 0;
    m_frameWatchTimer.start(kFrameWatchPeriodMs, this);
  } else {
    m_frameWatchTimer.stop();
  }
  ApplyFit();
}

void COrlentaDlg::ApplyFit() {
  const QMargins margins = FrameMargins();
  const QSize frame = FrameExtent();
  QRect outer(frameGeometry().topLeft(), m_fitRequest);
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    // Everything but the video area keeps its size: the frame, the skin
    // around the video and the rows of controls above and below it.
    const QSize chrome(frame.width() + 10 + (m_fisheyeInterface ? 50 : 10), frame.height() + 37 + 76);
    outer = FitIntoWorkArea(outer, chrome, screen->availableGeometry());
  }
  // Placed by its client area: Qt's own account of the frame in a move
  // can lag behind the window manager's.
  setGeometry(outer - margins);
  update();
  m_fitFrame = outer;
}

void COrlentaDlg::KeepTheFitUntilTheFrameHoldsIt() {
  const auto now = std::chrono::steady_clock::now();
  // A maximised window has no place of its own to fit.
  if (now > m_frameWatchEnd || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
    m_frameWatchTimer.stop();
    return;
  }
  if (FrameMargins().isNull()) return;
  if (m_refits > 0 && frameGeometry() == m_fitFrame) {
    if (!m_fitHeldSince) {
      m_fitHeldSince = now;
    } else if (now - *m_fitHeldSince >= kFitHoldTime) {
      m_frameWatchTimer.stop();
    }
    return;
  }
  m_fitHeldSince.reset();
  if (m_refits == kMostRefits) {
    m_frameWatchTimer.stop();
    return;
  }
  ++m_refits;
  ApplyFit();
}

void COrlentaDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ApplyMinimumSize();  // the window manager may tell its frame only now
  LayoutControls(false);
  UpdateViewButtons();
}

void COrlentaDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ApplyMinimumSize();
  if (!m_shown) {
    m_shown = true;
    if (!m_fileName.isEmpty()) m_openOnStartTimer.start(kOpenOnStartDelayMs, this);
  }
}

void COrlentaDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    if (windowState() & Qt::WindowMaximized) {
      m_windowState = SC_MAXIMIZE;
    } else if (!(windowState() & Qt::WindowMinimized)) {
      m_windowState = SC_RESTORE;
    }
  }
  QDialog::changeEvent(event);
}

void COrlentaDlg::OnVideoSizeChanged(int width, int height) {
  m_videoWidth = width;
  m_videoHeight = height;
  LayoutControls(true);
  m_videoContainer->RecalcLayout();
  if (m_videoContainer->IsSquareSource()) {
    UpdateViewButtons();
    return;
  }
  if (m_windowState != SC_MAXIMIZE) ResizeWindow(m_videoWidth, m_videoHeight);
}

void COrlentaDlg::UpdateViewButtons() {
  for (CxSkinButton* button : {m_btnFisheyeView, m_btnSingleView, m_btnQuadView, m_btnDual180,
                               m_btn360, m_btnWall180, m_btnCeilingMount, m_btnDeskMount,
                               m_btnWallMount}) {
    if (!button) return;
  }
  const bool desk = m_btnDeskMount->GetCheck();
  const bool wall = m_btnWallMount->GetCheck();
  if (!desk && !wall && !m_btnCeilingMount->GetCheck()) {
    m_btnCeilingMount->SetCheck(1);
    m_btnFisheyeView->SetCheck(1);
  }
  m_btnFisheyeView->setEnabled(true);
  m_btnSingleView->setEnabled(true);
  m_btnDual180->setEnabled(!wall || desk);
  m_btn360->setEnabled(!desk && !wall);
  m_btnQuadView->setEnabled(!desk);
  m_btnWall180->setEnabled(wall && !desk);
}
