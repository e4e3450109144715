#include "app/skin/bit_slider.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/skin/dialog_item.h"
#include "app/window_messages.h"
#include "platform/qt/private_message_event.h"

namespace {
constexpr int kEndWidth = 12;       // the channel pictures' rounded ends
constexpr int kTipDelayMs = 100;
}  // namespace

CBitSlider::CBitSlider(int controlId, QWidget* parent) : QAbstractSlider(parent) {
  SetDlgCtrlID(this, controlId);
  setOrientation(Qt::Horizontal);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  m_tipDelay.setSingleShot(true);
  m_tipDelay.setInterval(kTipDelayMs);
  connect(&m_tipDelay, &QTimer::timeout, this, [this] {
    if (underMouse() || (m_thumb && m_thumb->underMouse()))
      QToolTip::showText(QCursor::pos(), toolTip(), this);
  });
}

CBitSlider::~CBitSlider() = default;

void CBitSlider::SetThumbBitmap(int bitmapId, int cellWidth, int cellHeight) {
  if (m_thumb || bitmapId == 0) return;
  m_thumb = new CBitWnd(this);
  m_thumb->SetBitmap(bitmapId, cellWidth, cellHeight);
  m_thumb->SetCursor(cursor());
  m_thumb->SetForwardMouse(true);
  m_thumb->show();
  UpdateTipText();
  PlaceThumb();
}

void CBitSlider::SetChannelBitmaps(int rightBitmapId, int leftBitmapId) {
  m_leftChannel = std::make_unique<BitmapStrip>(leftBitmapId);
  m_rightChannel = std::make_unique<BitmapStrip>(rightBitmapId);
  if (!m_leftChannel->IsLoaded()) m_leftChannel.reset();
  if (!m_rightChannel->IsLoaded()) m_rightChannel.reset();
  update();
}

void CBitSlider::SetCursor(const QCursor& cursor) {
  setCursor(cursor);
  if (m_thumb) m_thumb->SetCursor(cursor);
}

void CBitSlider::SetThumbTop(int top) {
  m_thumbTop = top;
  PlaceThumb();
}

void CBitSlider::UpdateTipText() {
  const int64_t range = static_cast<int64_t>(maximum()) - minimum();
  const int64_t percent = range == 0 ? 0 : (static_cast<int64_t>(value()) - minimum()) * 100 / range;
  const QString text = QStringLiteral("%1%").arg(percent);
  setToolTip(text);
  if (m_thumb) m_thumb->setToolTip(text);
  if (QToolTip::isVisible() && (underMouse() || m_dragging))
    QToolTip::showText(QCursor::pos(), text, this);
}

bool CBitSlider::SetPosFromPoint(const QPoint& point) {
  EdgeBox channel = ChannelRect();
  channel.left += kChannelInset;
  channel.right -= kChannelInset;
  const int minimumValue = minimum();
  const int maximumValue = maximum();
  // A channel too short to divide holds every point at its left end.
  const double f = channel.Width() > 0
                       ? static_cast<double>(point.x() - channel.left) / channel.Width()
                       : 0.0;
  const double rounded = f * (static_cast<double>(maximumValue) + 1 - minimumValue) +
                         minimumValue + ((1 - f) * 0.5 - 0.5 * f);
  // Out-of-range points hold at the ends; a point that lands on the current
  // position is no change.
  const int position = static_cast<int>(std::trunc(
      std::clamp(rounded, static_cast<double>(minimumValue), static_cast<double>(maximumValue))));
  if (position == value()) return false;
  setValue(position);
  return true;
}

QRect CBitSlider::GetThumbRect() const {
  const int pictureWidth = m_thumb ? m_thumb->width() : 0;
  const int pictureHeight = m_thumb ? m_thumb->height() : 0;
  const EdgeBox own =
      TrackbarThumbRect(width(), height(), value(), minimum(), maximum(), pictureWidth);
  int left = own.left + (pictureWidth - own.Width()) / 2 - kThumbPictureShift;
  int right = left + pictureWidth;
  const int top = m_thumbTop - 2;
  if (right > width()) {
    left -= right - width();
    right = width();
  }
  return EdgeRect(left, top, right, top + pictureHeight);
}

void CBitSlider::PlaceThumb() {
  if (m_thumb) m_thumb->setGeometry(GetThumbRect());
}

void CBitSlider::sliderChange(SliderChange change) {
  PlaceThumb();
  update();
  QAbstractSlider::sliderChange(change);
}

void CBitSlider::resizeEvent(QResizeEvent* event) {
  PlaceThumb();
  QAbstractSlider::resizeEvent(event);
}

void CBitSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Draw(painter);
}

// The left picture up to the thumb's right edge, the right picture from
// there on, each with its own rounded end.  Wider than the pictures, the
// two middle parts are stretched.
void CBitSlider::Draw(QPainter& painter) {
  if (!m_thumb || !m_leftChannel || !m_rightChannel) return;
  const int clientRight = width();
  const int clientHeight = height();
  const int thumbRight = GetThumbRect().right() + 1;
  const BitmapStrip& left = *m_leftChannel;
  const BitmapStrip& right = *m_rightChannel;

  left.Draw(painter, QRect(0, 0, kEndWidth, clientHeight), QPoint(0, 0));
  if (clientRight > right.Width()) {
    left.DrawStretched(painter, QRect(kEndWidth, 0, thumbRight, clientHeight),
                       QRect(kEndWidth, 0, left.Width() - 2 * kEndWidth, left.Height()));
    right.DrawStretched(painter, QRect(thumbRight, 0, clientRight, clientHeight),
                        QRect(kEndWidth, 0, right.Width() - 2 * kEndWidth, right.Height()));
  } else {
    left.Draw(painter, QRect(kEndWidth, 0, thumbRight, clientHeight), QPoint(kEndWidth, 0));
    right.Draw(painter, QRect(thumbRight, 0, clientRight - thumbRight, clientHeight),
               QPoint(thumbRight, 0));
  }
  right.Draw(painter, QRect(clientRight - kEndWidth, 0, kEndWidth, clientHeight),
             QPoint(right.Width() - kEndWidth, 0));
}

void CBitSlider::NotifyParent(int code) {
  if (code == TB_THUMBTRACK) emit sliderMoved(value());
  if (code == TB_THUMBPOSITION) emit sliderReleased();
}

void CBitSlider::PostTracking() {
  if (parentWidget()) {
    QCoreApplication::postEvent(
        parentWidget(), new platform::PrivateMessageEvent(WM_SLIDER_TRACKING, value(), 0));
  }
}

void CBitSlider::SendSeek() {
  if (!parentWidget()) return;
  platform::PrivateMessageEvent seek(WM_SLIDER_SEEK, value(), 0);
  QCoreApplication::sendEvent(parentWidget(), &seek);
}

void CBitSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractSlider::mousePressEvent(event);
  m_dragging = true;
  m_moved = false;
  if (SetPosFromPoint(event->position().toPoint())) {
    NotifyParent(TB_THUMBTRACK);
    SendSeek();
    UpdateTipText();
  }
}

void CBitSlider::mouseMoveEvent(QMouseEvent* event) {
  ArmTip();
  if (!m_dragging) return QAbstractSlider::mouseMoveEvent(event);
  if (SetPosFromPoint(event->position().toPoint())) {
    m_moved = true;
    NotifyParent(TB_THUMBTRACK);
    PostTracking();
  }
  UpdateTipText();
  update();
}

void CBitSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!m_dragging || event->button() != Qt::LeftButton)
    return QAbstractSlider::mouseReleaseEvent(event);
  m_dragging = false;
  if (SetPosFromPoint(event->position().toPoint())) {
    NotifyParent(TB_THUMBTRACK);
    m_moved = true;
  }
  if (m_moved) {
    NotifyParent(TB_THUMBPOSITION);
    SendSeek();
    m_moved = false;
  }
  UpdateTipText();
  update();
}

void CBitSlider::wheelEvent(QWheelEvent* event) { event->accept(); }

// The tooltip follows the cursor over the slider and its thumb after a
// short rest.
void CBitSlider::ArmTip() { m_tipDelay.start(); }

void CBitSlider::leaveEvent(QEvent* event) {
  if (!(m_thumb && m_thumb->underMouse())) {
    m_tipDelay.stop();
    QToolTip::hideText();
  }
  QAbstractSlider::leaveEvent(event);
}

bool CBitSlider::event(QEvent* event) {
  // The slider shows its tooltip itself, sooner than the default.
  if (event->type() == QEvent::ToolTip) return true;
  return QAbstractSlider::event(event);
}
