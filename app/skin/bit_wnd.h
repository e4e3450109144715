#pragma once
// A small window that shows one cell of a bitmap strip: cell 0 normally,
// cell 1 while the cursor is over it, cell 2 while the left button is held
// on it.  It can pass its mouse input on to its parent, in the parent's
// coordinates (the slider's thumb does, so that the slider handles every
// press and drag).
#include <QCursor>
#include <QWidget>
#include <memory>

#include "app/skin/bitmap_strip.h"

class CBitWnd : public QWidget {
  Q_OBJECT
 public:
  explicit CBitWnd(QWidget* parent);
  ~CBitWnd() override;

  // Replaces the picture and sizes the window to one cell at (0, 0).
  bool SetBitmap(int bitmapId, int cellWidth, int cellHeight);
  void SetCursor(const QCursor& cursor) { setCursor(cursor); }
  void SetForwardMouse(bool on) { m_forwardMouse = on; }

  int Frame() const { return m_frame; }
  const BitmapStrip* Picture() const { return m_picture.get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int CellCount() const { return m_picture ? m_picture->CellCount() : 0; }
  void StartHover();
  void SetFrame(int frame);
  void Forward(QMouseEvent* event);

  int m_frame = 0;
  std::unique_ptr<BitmapStrip> m_picture;
  bool m_forwardMouse = false;
  bool m_tracking = false;  // the cursor is over the window
  bool m_held = false;      // the left button went down on the window
};
