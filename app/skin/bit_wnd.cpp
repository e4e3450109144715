#include "app/skin/bit_wnd.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

CBitWnd::CBitWnd(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

CBitWnd::~CBitWnd() = default;

bool CBitWnd::SetBitmap(int bitmapId, int cellWidth, int cellHeight) {
  m_picture = std::make_unique<BitmapStrip>(bitmapId, cellWidth, cellHeight);
  if (!m_picture->IsLoaded()) {
    m_picture.reset();
    return false;
  }
  setGeometry(0, 0, m_picture->CellWidth(), m_picture->CellHeight());
  update();
  return true;
}

void CBitWnd::paintEvent(QPaintEvent*) {
  if (!m_picture) return;
  QPainter painter(this);
  m_picture->DrawCell(painter, m_frame, QPoint(0, 0));
}

void CBitWnd::SetFrame(int frame) {
  if (frame == m_frame) return;
  m_frame = frame;
  update();
}

// The cursor came over the window: the hovered cell, or the pressed one
// while the button is still held on it.
void CBitWnd::StartHover() {
  if (m_tracking) return;
  m_tracking = true;
  SetFrame(m_held && CellCount() > 2 ? 2 : CellCount() > 1 ? 1 : 0);
}

void CBitWnd::enterEvent(QEnterEvent* event) {
  StartHover();
  QWidget::enterEvent(event);
}

void CBitWnd::leaveEvent(QEvent* event) {
  SetFrame(0);
  m_tracking = false;
  QWidget::leaveEvent(event);
}

void CBitWnd::mouseMoveEvent(QMouseEvent* event) {
  if (rect().contains(event->position().toPoint())) StartHover();
  Forward(event);
}

void CBitWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_held = true;
    SetFrame(CellCount() > 2 ? 2 : 0);
  }
  Forward(event);
}

void CBitWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    m_held = false;
    SetFrame(CellCount() > 1 ? 1 : 0);
  }
  Forward(event);
}

// Tooltips of a forwarding window are its parent's business.
bool CBitWnd::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && m_forwardMouse) return true;
  return QWidget::event(event);
}

void CBitWnd::Forward(QMouseEvent* event) {
  if (!m_forwardMouse || !parentWidget()) return;
  const QPointF local = mapToParent(event->position());
  QMouseEvent forwarded(event->type(), local, event->scenePosition(), event->globalPosition(),
                        event->button(), event->buttons(), event->modifiers(),
                        event->pointingDevice());
  QCoreApplication::sendEvent(parentWidget(), &forwarded);
}
