#pragma once
// The main window: the skin pictures around the video area, the position
// slider under it, the time text and the transport buttons at the bottom,
// Open, Snapshot and Convert AVI at the top, and, for square (fisheye)
// sources, the mount buttons at the top right and the view buttons down
// the right side.
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <array>
#include <cstdint>

#include "app/bit_slider.h"
#include "app/picture.h"
#include "app/skin_button.h"
#include "platform/message_target.h"
#include "platform/qt/qt_message_target.h"
#include "player/widgets/video_container.h"

// The two window states the window keeps track of.
constexpr uint32_t SC_MAXIMIZE = 0xF030;
constexpr uint32_t SC_RESTORE = 0xF120;

// The window's outer size never goes below this (frame included).
constexpr int kMinimumWindowWidth = 540;
constexpr int kMinimumWindowHeight = 460;

class COrlentaDlg : public QDialog {
  Q_OBJECT
 public:
  explicit COrlentaDlg(QWidget* parent = nullptr);
  ~COrlentaDlg() override;

  // Places every control for the current interface (fisheye for square
  // sources) and repaints.
  void LayoutControls(bool erase);
  // Outer size, at least the minimum, at the screen's top-left corner.
  void ResizeWindow(int width, int height);
  // Enables the view buttons that the checked mount offers.
  void UpdateViewButtons();

  CxSkinButton* Button(int id) const;
  CBitSlider* Slider() const { return m_slider; }
  CQxVideoContainer* Container() const { return m_videoContainer; }
  QLabel* TimeText() const { return m_timeText; }
  uint32_t WindowState() const { return m_windowState; }
  // The picture size the last WM_VIDEO_SIZE_CHANGED reported (0 x 0 before).
  QSize VideoSize() const { return {m_videoWidth, m_videoHeight}; }
  bool IsFisheyeInterface() const { return m_fisheyeInterface; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void CreateControls();
  void SkinControls();
  void SetupSlider();
  // The outer size less the client size: the window manager's frame.
  QSize FrameExtent() const;
  void ApplyMinimumSize();
  bool OnPrivateMessage(const platform::PostedMessage& message);
  void OnVideoSizeChanged(int width, int height);

  // Skin pictures, in loading order: the whole skin, then the pieces.
  enum SkinPiece {
    kWhole, kTopLeft, kTop, kTopRight, kLeft, kRight, kUnderVideo, kBottomLeft, kBottom,
    kBottomRight, kSkinPieceCount
  };
  std::array<CPicture, kSkinPieceCount> m_skin;
  QIcon m_icon;
  // Where the reader, the play thread and the video box post to.
  std::shared_ptr<platform::QtMessageTarget> m_messageTarget;

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
  QLabel* m_timeText = nullptr;

  bool m_fisheyeInterface = false;  // the interface the last layout chose
  int m_videoWidth = 0;
  int m_videoHeight = 0;
  uint32_t m_windowState = SC_RESTORE;
};
