#include "app/skin/bitmap_strip.h"

#include "app/resources.h"

BitmapStrip::BitmapStrip(int bitmapId, int cellWidth, int cellHeight)
    : m_bitmap(ResourcePath("BITMAP", bitmapId)) {
  if (m_bitmap.isNull()) return;
  m_cellWidth = cellWidth > 0 ? cellWidth : m_bitmap.width();
  m_cellHeight = cellHeight > 0 ? cellHeight : m_bitmap.height();
  m_vertical = m_bitmap.height() > m_bitmap.width();
  m_cellCount = m_vertical ? m_bitmap.height() / m_cellHeight : m_bitmap.width() / m_cellWidth;
}

QRect BitmapStrip::CellRect(int i) const {
  if (i < 0 || i >= m_cellCount) return {};
  return m_vertical ? QRect(0, i * m_cellHeight, m_cellWidth, m_cellHeight)
                    : QRect(i * m_cellWidth, 0, m_cellWidth, m_cellHeight);
}

void BitmapStrip::DrawCell(QPainter& painter, int i, const QPoint& at) const {
  const QRect cell = CellRect(i);
  if (!cell.isEmpty()) painter.drawPixmap(at, m_bitmap, cell);
}

void BitmapStrip::Draw(QPainter& painter, const QRect& target, const QPoint& source) const {
  if (target.isEmpty()) return;
  painter.drawPixmap(target.topLeft(), m_bitmap, QRect(source, target.size()));
}

void BitmapStrip::DrawStretched(QPainter& painter, const QRect& target, const QRect& source) const {
  if (target.isEmpty() || source.isEmpty()) return;
  painter.drawPixmap(target, m_bitmap, source);
}
