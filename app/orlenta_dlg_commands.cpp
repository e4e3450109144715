// The main window's commands, timers and messages: the transport buttons
// and the enabling that makes up the play states, Open, Snapshot, the time
// display, slider seeking, the reader's and the play thread's reports, the
// window commands, and the shutdown.
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimerEvent>
#include <chrono>
#include <thread>

#include "app/about_dlg.h"
#include "app/file_dialog.h"
#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "app/skin/dialog_item.h"
#include "app/vyx2avi_dlg.h"
#include "app/window_messages.h"
#include "platform/message_box.h"
#include "platform/qt/private_message_event.h"
#include "platform/trace.h"
#include "player/engine/play_mode.h"
#include "player/engine/player_messages.h"
#include "player/widgets/drop_target.h"
#include "player/widgets/video_box.h"

void COrlentaDlg::ConnectCommands() {
  connect(m_btnOpen, &QAbstractButton::clicked, this, &COrlentaDlg::OnOpen);
  connect(m_btnPlay, &QAbstractButton::clicked, this, &COrlentaDlg::OnPlay);
  connect(m_btnPause, &QAbstractButton::clicked, this, &COrlentaDlg::OnPause);
  connect(m_btnStepBack, &QAbstractButton::clicked, this, &COrlentaDlg::OnStepBack);
  connect(m_btnStepForward, &QAbstractButton::clicked, this, &COrlentaDlg::OnStepForward);
  connect(m_btnStop, &QAbstractButton::clicked, this, &COrlentaDlg::OnStop);
  connect(m_btnSnapshot, &QAbstractButton::clicked, this, &COrlentaDlg::OnSnapshot);
  connect(m_btnConvertAvi, &QAbstractButton::clicked, this, &COrlentaDlg::OnConvertAvi);
  ConnectViewCommands();
}

void COrlentaDlg::EnableButtons(std::initializer_list<CxSkinButton*> buttons, bool enable) {
  for (CxSkinButton* button : buttons) button->setEnabled(enable);
}

void COrlentaDlg::OnOpen() {
  CFileDialog dialog(true, QString(), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     QStringLiteral("Talvessa Archived Files (*.vyx)|*.vyx|All Files(*.*)|*.*|"),
                     this);
  if (dialog.DoModal()) OpenFile(dialog.GetPathName());
}

void COrlentaDlg::OpenFile(const QString& path) {
  m_indexing = true;
  m_videoContainer->GetParser().SetNotifyWindow(platform::QtMessageTarget::Create(this, ++m_openCount));
  if (!m_videoContainer->OpenFile(QFile::encodeName(path).toStdString())) {
    // No index report may come for an archive that did not open: slider
    // seeks would be ignored from now on.  One that comes is not for a
    // window with nothing open.
    m_indexing = false;
    ++m_openCount;
    ShowNothingOpen();
    return;
  }
  m_openFailed = false;
  m_btnPlay->setEnabled(false);
  EnableButtons({m_btnStop, m_btnPause}, true);
  m_playing = true;
  m_clockTimer.start(kClockPeriodMs, this);
  m_slider->setEnabled(true);
  EnableButtons({m_btnOpen, m_btnConvertAvi, m_btnSnapshot}, false);
  if (m_videoContainer->IsSquareSource()) ResetFisheyeButtons();
  if (m_windowState == SC_MAXIMIZE) m_videoContainer->SetScale(m_videoContainer->IsScaleOn());
  m_videoContainer->SetOsdPosition(m_infoPosition);
}

// The archive shown before is closed: its picture, its time and duration
// and a Play that would find nothing to play must not stay behind.
void COrlentaDlg::ShowNothingOpen() {
  OnStop();
  m_openFailed = true;
  m_btnOpen->setEnabled(true);
  EnableButtons({m_btnPlay, m_btnStop, m_btnPause, m_btnStepBack, m_btnStepForward, m_btnSnapshot,
                 m_btnConvertAvi, m_btnFisheyeView, m_btnSingleView, m_btnQuadView, m_btnDual180,
                 m_btn360, m_btnWall180, m_btnCeilingMount, m_btnDeskMount, m_btnWallMount},
                false);
  m_durationHours = m_durationMinutes = m_durationSeconds = 0;
  m_timeText->clear();
  m_slider->setRange(0, 10);
  m_slider->setValue(0);
  m_slider->UpdateTipText();
  m_slider->setEnabled(false);
  m_videoWidth = m_videoHeight = 0;
  if (CQxVideoBox* box = m_videoContainer->GetVideoBox()) box->ClearPicture();
  LayoutControls(true);
}

// A new square source starts in the fisheye view of a ceiling mount.
void COrlentaDlg::ResetFisheyeButtons() {
  m_btnFisheyeView->SetCheck(1);
  m_btnCeilingMount->SetCheck(1);
  for (CxSkinButton* button : {m_btnSingleView, m_btnQuadView, m_btnDual180, m_btn360,
                               m_btnWall180, m_btnDeskMount, m_btnWallMount})
    button->SetCheck(0);
  UpdateViewButtons();
}

void COrlentaDlg::OnPlay() {
  EnableButtons({m_btnOpen, m_btnPlay, m_btnStepBack, m_btnStepForward, m_btnSnapshot,
                 m_btnConvertAvi},
                false);
  EnableButtons({m_btnStop, m_btnPause}, true);
  m_playing = true;
  if (!m_clockTimer.isActive()) m_clockTimer.start(kClockPeriodMs, this);
  m_videoContainer->Play();
  EnableButtons({m_btnCeilingMount, m_btnDeskMount, m_btnWallMount}, true);
  UpdateViewButtons();
  m_slider->setEnabled(true);
  setFocus();
}

void COrlentaDlg::OnPause() {
  m_videoContainer->SetMode(PLAY_MODE_PAUSE);
  EnableButtons({m_btnPlay, m_btnStop, m_btnStepBack, m_btnStepForward, m_btnSnapshot}, true);
  m_btnPause->setEnabled(false);
  setFocus();
}

void COrlentaDlg::OnStepBack() {
  m_videoContainer->SetMode(PLAY_MODE_STEP_BACK);
  setFocus();
}

void COrlentaDlg::OnStepForward() {
  m_videoContainer->SetMode(PLAY_MODE_STEP_FORWARD);
  setFocus();
}

void COrlentaDlg::OnStop() {
  m_clockTimer.stop();
  StopPlayback();
}

void COrlentaDlg::StopPlayback() {
  if (!m_playing) return;
  m_videoContainer->Stop();
  EnableButtons({m_btnOpen, m_btnPlay, m_btnConvertAvi}, true);
  EnableButtons({m_btnStop, m_btnPause, m_btnStepBack, m_btnStepForward, m_btnSnapshot}, false);
  m_playing = false;
  m_slider->UpdateTipText();
  m_slider->setEnabled(false);
  EnableButtons({m_btnFisheyeView, m_btnSingleView, m_btnQuadView, m_btnDual180, m_btn360,
                 m_btnWall180, m_btnCeilingMount, m_btnDeskMount, m_btnWallMount},
                false);
}

void COrlentaDlg::OnSnapshot() {
  CFileDialog dialog(false, QStringLiteral("jpg"), QString(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                     QStringLiteral("JPEG Files (*.jpg)|*.jpg|All Files(*.*)|*.*|"), this);
  if (!dialog.DoModal()) return;
  const QString path = dialog.GetPathName();
  const bool asBmp = QFileInfo(path).suffix().compare(QStringLiteral("jpg"), Qt::CaseInsensitive) != 0;
  std::error_code reason;
  if (m_videoContainer->Snapshot(path.toStdWString(), asBmp, &reason) != 1)
    ReportSnapshotFailure(path, reason);
}

void COrlentaDlg::ReportSnapshotFailure(const QString& path, const std::error_code& reason) {
  platform::Trace("Snapshot to %s failed\n", QFile::encodeName(path).constData());
  const std::string why = reason ? reason.message() : std::string("the picture could not be saved");
  platform::ShowMessageBox("Snapshot Error!\n" + path.toStdString() + "\n" + why);
}

void COrlentaDlg::OnConvertAvi() {
  // Stop from pause lets the play thread show one more frame before it
  // suspends; the conversion rewinds the reader, so that frame must have
  // been read first.
  constexpr auto kSuspendWait = std::chrono::seconds(2);
  const auto deadline = std::chrono::steady_clock::now() + kSuspendWait;
  while (!m_videoContainer->IsSuspended() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!m_videoContainer->IsSuspended()) {
    platform::Trace("OnConvertAvi: the play thread did not suspend within 2 s\n");
    platform::ShowMessageBox(kConvertCannotStart);
    return;
  }
  // Opening a dropped file would reset the reader under the conversion.
  const bool busy = m_videoContainer->GetDropTarget().IsBusy();
  m_videoContainer->SetDropTargetBusy(true);
  {
    CQxVyx2AviDlg dialog(QFile::decodeName(m_videoContainer->GetFileName().c_str()),
                         &m_videoContainer->GetParser(), this);
    dialog.exec();
  }
  m_videoContainer->SetDropTargetBusy(busy);
}

void COrlentaDlg::SetTimeText(int controlId, uint32_t seconds) {
  auto* control = qobject_cast<QLabel*>(GetDlgItem(this, controlId));
  if (!control) return;
  control->setText(QString::asprintf("%02d:%02d:%02d / %02d:%02d:%02d", seconds / 3600,
                                     (seconds / 60) % 60, seconds % 60, m_durationHours,
                                     m_durationMinutes, m_durationSeconds));
}

void COrlentaDlg::OnIndexDone(uint32_t seconds) {
  m_indexing = false;
  m_slider->setRange(0, static_cast<int>(std::min<uint32_t>(seconds, INT32_MAX)));
  m_slider->UpdateTipText();
  m_durationHours = seconds / 3600;
  m_durationMinutes = (seconds / 60) % 60;
  m_durationSeconds = seconds % 60;
}

void COrlentaDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_clockTimer.timerId()) {
    OnTimer(TIMER_PLAY_CLOCK);
  } else if (event->timerId() == m_openOnStartTimer.timerId()) {
    OnTimer(TIMER_OPEN_ON_START);
  } else if (event->timerId() == m_frameWatchTimer.timerId()) {
    KeepTheFitUntilTheFrameHoldsIt();
  } else {
    QDialog::timerEvent(event);
  }
}

void COrlentaDlg::OnTimer(int timer) {
  switch (timer) {
    case TIMER_PLAY_CLOCK: {
      // While the user drags the thumb, the slider and the time text show
      // the place under the mouse, not the one playing.
      if (m_slider->IsDragging()) break;
      const uint32_t position = m_videoContainer->GetPosition();
      SetTimeText(IDC_STATIC_TIME, position);
      m_slider->setValue(static_cast<int>(std::min<uint32_t>(position, INT32_MAX)));
      m_slider->UpdateTipText();
      m_slider->update();
      break;
    }
    case TIMER_OPEN_ON_START:
      m_openOnStartTimer.stop();
      if (!m_fileName.isEmpty()) OpenFile(m_fileName);
      break;
    default:
      break;
  }
}

bool COrlentaDlg::event(QEvent* event) {
  // Reports still queued when the window closed find nothing to drive.
  if (m_shutDown && dynamic_cast<platform::PrivateMessageEvent*>(event)) return true;
  if (auto* dropped = dynamic_cast<DroppedFileEvent*>(event)) {
    // A drop taken just before the target became busy (a conversion opened).
    if (!m_videoContainer->GetDropTarget().IsBusy()) OpenFile(dropped->Path());
    return true;
  }
  if (auto* message = dynamic_cast<platform::PrivateMessageEvent*>(event)) {
    if (OnPrivateMessage(message->Message(), message->Sender())) return true;
  }
  return QDialog::event(event);
}

bool COrlentaDlg::OnPrivateMessage(const platform::PostedMessage& message, uint64_t sender) {
  // Index reports count only from the index thread of the archive open now.
  const bool currentArchive = sender == m_openCount;
  switch (message.message) {
    case WM_VYX_INDEX_ERROR:
      if (currentArchive) m_indexing = false;
      return true;
    case WM_VYX_INDEX_DONE:
      if (currentArchive) OnIndexDone(static_cast<uint32_t>(message.lParam));
      return true;
    case WM_VYX_END_OF_FILE:
      OnStop();
      return true;
    case WM_VYX_FILE_START:
      platform::ShowMessageBox("Play to file start!");
      return true;
    case WM_SLIDER_TRACKING:
      SetTimeText(IDC_STATIC_TIME, static_cast<uint32_t>(message.wParam));
      return true;
    case WM_SLIDER_SEEK:
      if (!m_indexing) m_videoContainer->SeekTo(static_cast<uint32_t>(message.wParam));
      return true;
    case WM_VIDEO_SIZE_CHANGED:
      OnVideoSizeChanged(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
      return true;
    case WM_VIDEO_CONTEXT_MENU: {
      const QPoint at(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
      CQxVideoBox* box = m_videoContainer->GetVideoBox();
      ShowContextMenu(box ? box->mapToGlobal(at) : QCursor::pos());
      return true;
    }
    case WM_VIDEO_TOGGLE_MAXIMIZE:
      ToggleMaximize();
      return true;
    default:
      return false;
  }
}

void COrlentaDlg::OnSysCommand(uint32_t id) {
  switch (id & 0xFFF0) {
    case IDM_ABOUTBOX: {
      CAboutDlg about(this);
      about.exec();
      break;
    }
    case SC_MAXIMIZE:
      showMaximized();
      m_windowState = SC_MAXIMIZE;
      break;
    case SC_RESTORE:
      showNormal();
      m_windowState = SC_RESTORE;
      break;
    default:
      break;
  }
}

// Esc does not close the player: a user leaves it by closing its window.
void COrlentaDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void COrlentaDlg::done(int result) {
  Shutdown();
  QDialog::done(result);
}

void COrlentaDlg::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  m_clockTimer.stop();
  m_openOnStartTimer.stop();
  m_frameWatchTimer.stop();
  if (m_videoContainer) m_videoContainer->Shutdown();
}
