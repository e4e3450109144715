#pragma once
// The main window: the skin pictures around the video area, the position
// slider under it, the time text and the transport buttons at the bottom,
// Open, Snapshot and Convert AVI at the top, and, for square (fisheye)
// sources, the mount buttons at the top right and the view buttons down
// the right side.
//
// It keeps no play state of its own beyond two flags: the state is the set
// of enabled buttons, changed by open, Play, Pause and Stop.  Playback work
// is the video container's; the reader and the play thread report back by
// private messages, handled here in posting order.
#include <QBasicTimer>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <system_error>

#include "app/skin/bit_slider.h"
#include "app/skin/picture.h"
#include "app/skin/skin_button.h"
#include "platform/message_target.h"
#include "dewarp/dewarp_settings.h"
#include "platform/qt/qt_message_target.h"
#include "player/widgets/video_container.h"

// The two window states the window keeps track of.
constexpr uint32_t SC_MAXIMIZE = 0xF030;
constexpr uint32_t SC_RESTORE = 0xF120;

// The window's outer size never goes below this (frame included).
constexpr int kMinimumWindowWidth = 540;
constexpr int kMinimumWindowHeight = 460;

// The window's timers.
constexpr int TIMER_PLAY_CLOCK = 6625;     // 100 ms while playing: time text and slider
constexpr int TIMER_OPEN_ON_START = 6626;  // once, 100 ms after the window appears

class COrlentaDlg : public QDialog {
  Q_OBJECT
 public:
  // The fisheye views follow `settings` (the application's record, which
  // must outlive the window).
  explicit COrlentaDlg(QWidget* parent = nullptr, const DewarpSettings& settings = DefaultDewarpSettings());
  ~COrlentaDlg() override;

  // The archive named on the command line, opened 100 ms after the window
  // first appears.  Set before showing the window.
  void SetFileName(const QString& path) { m_fileName = path; }

  // Places every control for the current interface (fisheye for square
  // sources) and repaints.
  void LayoutControls(bool erase);
  // Outer size, at least the minimum; a window too large for the work area
  // of its screen gets a smaller video area of the same shape, and one that
  // would reach past the work area's edges moves back inside.
  void ResizeWindow(int width, int height);
  // Enables the view buttons that the checked mount offers.
  void UpdateViewButtons();
  // The mount a fisheye view mode belongs to: 1 ceiling, 2 desk, 3 wall,
  // 0 none.
  static int GetMountFamily(int mode);

  // Opens an archive and starts playing it.
  void OpenFile(const QString& path);
  // Leaves the playing state (when playing).
  void StopPlayback();
  // "hh:mm:ss / hh:mm:ss": the seconds given, then the archive's duration.
  void SetTimeText(int controlId, uint32_t seconds);
  // The video area's context menu at a point of the screen.
  void ShowContextMenu(const QPoint& screenPosition);
  void SetZoom(int commandId);
  void ToggleMaximize();
  void SetInfoPosition(int position);
  // The window menu's commands: the about box, maximise and restore.
  void OnSysCommand(uint32_t id);
  // A command of the context menus, by its id.
  void OnMenuCommand(int id);

  CxSkinButton* Button(int id) const;
  CBitSlider* Slider() const { return m_slider; }
  CQxVideoContainer* Container() const { return m_videoContainer; }
  QLabel* TimeText() const { return m_timeText; }
  uint32_t WindowState() const { return m_windowState; }
  // The picture size the last WM_VIDEO_SIZE_CHANGED reported (0 x 0 before).
  QSize VideoSize() const { return {m_videoWidth, m_videoHeight}; }
  bool IsFisheyeInterface() const { return m_fisheyeInterface; }
  bool IsIndexing() const { return m_indexing; }
  bool IsPlaying() const { return m_playing; }
  bool IsClockRunning() const { return m_clockTimer.isActive(); }
  int ZoomLevel() const { return m_zoomLevel; }
  int InfoPosition() const { return m_infoPosition; }
  QMenu* ContextMenu() const { return m_contextMenu; }
  QMenu* ZoomMenu() const { return m_zoomMenu; }
  QMenu* InfoMenu() const { return m_infoMenu; }
  // The program's own window menu, opened on the window's frame.
  QMenu* FrameMenu() const { return m_frameMenu; }
  // The context menus' item for a command id.
  QAction* MenuAction(int id) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;
  void done(int result) override;

 private:
  void CreateControls();
  void SkinControls();
  void SetupSlider();
  void BuildMenus();
  void ConnectCommands();
  // The window manager's frame around the client area, as far as it is
  // known (none before the window manager has told it).
  QMargins FrameMargins() const;
  // The outer size less the client size.
  QSize FrameExtent() const;
  void ApplyMinimumSize();
  // Sets the geometry that puts the requested outer size, fitted to the
  // work area, at the frame's place, and keeps the frame's rectangle it
  // aims at.
  void ApplyFit();
  // A window manager tells its frame some time after the window is shown,
  // and requests the window made before then (when the manager is busy, or
  // not yet running) may reach it only after the fit: a size fitted to the
  // work area before the frame was known is fitted again until the frame
  // has held the fitted rectangle for a while, so that the whole frame lies
  // inside the work area.
  void KeepTheFitUntilTheFrameHoldsIt();
  bool OnPrivateMessage(const platform::PostedMessage& message, uint64_t sender);
  void OnVideoSizeChanged(int width, int height);
  void OnIndexDone(uint32_t seconds);
  void OnTimer(int timer);
  // Stops the clock and playback, and ends the play thread: nothing draws
  // or plays once the window has closed.
  void Shutdown();

  void OnOpen();
  void OnPlay();
  void OnPause();
  void OnStepBack();
  void OnStepForward();
  void OnStop();
  void OnSnapshot();
  void OnConvertAvi();
  void OnScale();
  void ResetFisheyeButtons();
  // The view and mount buttons (app/orlenta_dlg_views.cpp).
  void ConnectViewCommands();
  void OnFisheyeView();
  void OnSingleView();
  void OnQuadView();
  void OnDual180();
  void On360();
  void OnWall180();
  // Shows a view mode: a different one clears the picture first; the video
  // area takes the mode's shape and a paused picture is redrawn.
  void ChangeViewMode(int target);
  void OnMount(int family);
  int CurrentViewMode() const;
  // After a failed open: nothing is open, as in a new window.
  void ShowNothingOpen();
  // Tells the user that a snapshot could not be saved, and why.
  void ReportSnapshotFailure(const QString& path, const std::error_code& reason);
  void EnableButtons(std::initializer_list<CxSkinButton*> buttons, bool enable);

  // Skin pictures, in loading order: the whole skin, then the pieces.
  enum SkinPiece {
    kWhole, kTopLeft, kTop, kTopRight, kLeft, kRight, kUnderVideo, kBottomLeft, kBottom,
    kBottomRight, kSkinPieceCount
  };
  std::array<CPicture, kSkinPieceCount> m_skin;
  QIcon m_icon;
  // Where the play thread and the video box post to.
  std::shared_ptr<platform::QtMessageTarget> m_messageTarget;
  // Each open gives the reader a target of its own, tagged with the open's
  // number: reports of an earlier archive's index thread are recognised.
  uint64_t m_openCount = 0;

  CxSkinButton* m_btnSnapshot = nullptr;
  CxSkinButton* m_btnOpen = nullptr;
  CxSkinButton* m_btnConvertAvi = nullptr;
  CxSkinButton* m_btnStop = nullptr;
  CxSkinButton* m_btnStepBack = nullptr;
  CxSkinButton* m_btnPlay = nullptr;
  CxSkinButton* m_btnPause = nullptr;
  CxSkinButton* m_btnStepForward = nullptr;
  CxSkinButton* m_btnCeilingMount = nullptr;
  CxSkinButton* m_btnDeskMount = nullptr;
  CxSkinButton* m_btnWallMount = nullptr;
  CxSkinButton* m_btnFisheyeView = nullptr;
  CxSkinButton* m_btnSingleView = nullptr;
  CxSkinButton* m_btnQuadView = nullptr;
  CxSkinButton* m_btnDual180 = nullptr;
  CxSkinButton* m_btn360 = nullptr;
  CxSkinButton* m_btnWall180 = nullptr;
  CBitSlider* m_slider = nullptr;
  CQxVideoContainer* m_videoContainer = nullptr;
  const DewarpSettings& m_dewarpSettings;
  QLabel* m_timeText = nullptr;

  QMenu* m_contextMenu = nullptr;
  QMenu* m_zoomMenu = nullptr;
  QMenu* m_infoMenu = nullptr;
  QMenu* m_frameMenu = nullptr;

  static constexpr int kClockPeriodMs = 100;
  static constexpr int kOpenOnStartDelayMs = 100;
  static constexpr int kFrameWatchPeriodMs = 50;
  // Without a window manager no frame ever comes.
  static constexpr std::chrono::seconds kFrameWatchTime{10};
  // Long enough for requests the manager still holds to reach it.
  static constexpr std::chrono::milliseconds kFitHoldTime{500};
  // A manager that keeps its own idea of the size is not fought for long.
  static constexpr int kMostRefits = 4;

  QString m_fileName;
  bool m_indexing = false;
  bool m_playing = false;
  // The last open failed: no archive is open, whatever the container still
  // knows of the one before.
  bool m_openFailed = false;
  QBasicTimer m_clockTimer;
  QBasicTimer m_openOnStartTimer;
  QBasicTimer m_frameWatchTimer;  // while a fit waits for the frame
  std::chrono::steady_clock::time_point m_frameWatchEnd;
  QSize m_fitRequest;  // the outer size the last ResizeWindow asked for
  QRect m_fitFrame;    // the frame's rectangle the last fit aimed at
  std::optional<std::chrono::steady_clock::time_point> m_fitHeldSince;
  int m_refits = 0;
  bool m_shown = false;
  bool m_shutDown = false;
  uint32_t m_durationHours = 0;
  uint32_t m_durationMinutes = 0;
  uint32_t m_durationSeconds = 0;
  bool m_fisheyeInterface = false;  // the interface the last layout chose
  int m_videoWidth = 0;
  int m_videoHeight = 0;
  int m_zoomLevel = 0;  // 0 1:1, 1 1:4, 2 1:2, 3 2:1
  uint32_t m_windowState = SC_RESTORE;
  int m_infoPosition = 0;  // 0 none, 1 left-top, 2 right-top, 3 left-bottom, 4 right-bottom
};
