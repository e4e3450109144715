#pragma once
// The position slider: a horizontal slider painted from two channel
// pictures (the part left of the thumb from one, the part right of it from
// the other) with a separate thumb window.  A click anywhere on the channel
// moves the position there and seeks; a drag reports each new position as
// tracking and seeks once at the release.  The position in percent is the
// tooltip.
//
// To the parent: WM_SLIDER_TRACKING (posted) and WM_SLIDER_SEEK (sent), and
// the slider's own sliderMoved() / sliderReleased() as any slider would.
#include <QAbstractSlider>
#include <QCursor>
#include <QTimer>
#include <memory>

#include "app/skin/bit_wnd.h"
#include "app/skin/bitmap_strip.h"
#include "app/skin/trackbar_geometry.h"

constexpr int TB_THUMBPOSITION = 4;
constexpr int TB_THUMBTRACK = 5;

class CBitSlider : public QAbstractSlider {
  Q_OBJECT
 public:
  CBitSlider(int controlId, QWidget* parent);
  ~CBitSlider() override;

  // Only the first call with a non-zero id makes the thumb.
  void SetThumbBitmap(int bitmapId, int cellWidth, int cellHeight);
  void SetChannelBitmaps(int rightBitmapId, int leftBitmapId);
  void SetCursor(const QCursor& cursor);
  // Pixel offset of the thumb from the slider's top.
  void SetThumbTop(int top);
  void UpdateTipText();

  // Moves the position to the point's place on the channel; true when it
  // changed.
  bool SetPosFromPoint(const QPoint& point);
  // The thumb window's place for the current position.
  QRect GetThumbRect() const;
  EdgeBox ChannelRect() const { return TrackbarChannelRect(width(), height()); }
  CBitWnd* Thumb() const { return m_thumb; }
  // True from a left-button press on the slider until its release.
  bool IsDragging() const { return m_dragging; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void sliderChange(SliderChange change) override;
  bool event(QEvent* event) override;

 private:
  void Draw(QPainter& painter);
  void PlaceThumb();
  void NotifyParent(int code);
  void PostTracking();
  void SendSeek();
  void ArmTip();

  CBitWnd* m_thumb = nullptr;  // child window, deleted with the slider
  std::unique_ptr<BitmapStrip> m_leftChannel;
  std::unique_ptr<BitmapStrip> m_rightChannel;
  int m_thumbTop = 0;
  bool m_dragging = false;
  bool m_moved = false;
  QTimer m_tipDelay;
};
