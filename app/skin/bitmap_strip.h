#pragma once
// A bitmap resource cut into equal cells, side by side or stacked
// downwards (when the bitmap is taller than wide).  Draws one cell, or the
// whole bitmap or a part of it into a rectangle.
#include <QPainter>
#include <QPixmap>
#include <QRect>

class BitmapStrip {
 public:
  // Cell sizes of 0 take the bitmap's full width or height.  IsLoaded()
  // tells whether the bitmap was found.
  BitmapStrip(int bitmapId, int cellWidth = 0, int cellHeight = 0);

  bool IsLoaded() const { return !m_bitmap.isNull(); }
  int CellCount() const { return m_cellCount; }
  int CellWidth() const { return m_cellWidth; }
  int CellHeight() const { return m_cellHeight; }
  int Width() const { return m_bitmap.width(); }
  int Height() const { return m_bitmap.height(); }

  // Cell i's rectangle in the bitmap; empty for i outside the strip.
  QRect CellRect(int i) const;
  void DrawCell(QPainter& painter, int i, const QPoint& at) const;
  // The part of the bitmap starting at `source`, 1:1, into `target`.
  void Draw(QPainter& painter, const QRect& target, const QPoint& source) const;
  // The bitmap's `source` part stretched into `target`.
  void DrawStretched(QPainter& painter, const QRect& target, const QRect& source) const;

 private:
  QPixmap m_bitmap;
  int m_cellWidth = 0;
  int m_cellHeight = 0;
  int m_cellCount = 0;
  bool m_vertical = false;
};
