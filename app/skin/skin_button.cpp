#include "app/skin/skin_button.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <qdrawutil.h>

#include "app/resources.h"
#include "app/skin/dialog_item.h"
#include "app/skin/mask_region.h"
#include "app/window_messages.h"
#include "platform/qt/private_message_event.h"

namespace {

CxSkinButton::Kind KindFromStyle(uint32_t style) {
  const uint32_t s = style & 0xFF;
  if ((s & 3) == 3) return CxSkinButton::kCheckBox;
  if ((s & 9) == 9) return CxSkinButton::kRadioButton;
  return CxSkinButton::kPushButton;
}

// The frame as a picture of its own, transparent where the mask is white.
QPixmap CutFrame(const QImage& strip, int frame, int width, int height, const QImage& mask) {
  QImage picture =
      strip.copy(0, (frame - 1) * height, width, height).convertToFormat(QImage::Format_ARGB32);
  if (!mask.isNull()) {
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
      const auto* maskRow = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
      for (int x = 0; x < width; ++x) {
        if ((maskRow[x] & 0xFFFFFF) == 0xFFFFFF) row[x] = 0;
      }
    }
  }
  return QPixmap::fromImage(picture);
}

}  // namespace

CxSkinButton::CxSkinButton(int controlId, uint32_t style, QWidget* parent)
    : QAbstractButton(parent),
      m_kind(KindFromStyle(style)),
      m_groupStart((style & WS_GROUP) != 0),
      m_textColor(palette().color(QPalette::ButtonText)) {
  SetDlgCtrlID(this, controlId);
  setMouseTracking(true);
}

CxSkinButton::~CxSkinButton() = default;

bool CxSkinButton::SetSkin(int bitmapId, int frameWidth, int frameHeight, int normal, int pressed,
                           int hover, int disabled, int focus, int mask, int drawMode, int border,
                           int focusMargin) {
  m_normal = m_pressedPicture = m_disabled = m_hoverPicture = m_focus = QPixmap();
  m_hasMask = false;

  const QImage strip = QImage(ResourcePath("BITMAP", bitmapId)).convertToFormat(QImage::Format_RGB32);
  if (strip.isNull() || frameWidth <= 0 || frameHeight <= 0 || frameWidth > strip.width())
    return false;
  const int frames = strip.height() / frameHeight;
  for (int n : {normal, pressed, hover, disabled, focus, mask}) {
    if (n < 0 || n > frames) return false;
  }

  const QImage maskImage =
      mask ? strip.copy(0, (mask - 1) * frameHeight, frameWidth, frameHeight) : QImage();
  auto cut = [&](int frame) {
    return frame ? CutFrame(strip, frame, frameWidth, frameHeight, maskImage) : QPixmap();
  };
  m_normal = cut(normal);
  m_pressedPicture = cut(pressed);
  m_hoverPicture = cut(hover);
  m_disabled = cut(disabled);
  m_focus = cut(focus);

  m_drawMode = std::clamp(drawMode, 0, 2);
  m_border = border;
  m_focusMargin = std::max(focusMargin, 0);

  if (mask) {
    m_hasMask = true;
    m_region = CreateRgnFromBitmap(maskImage);
    setMask(m_region);
    if (m_drawMode == kDrawNatural) resize(maskImage.size());
  }
  update();
  return true;
}

void CxSkinButton::SetToolTipText(const QString& text) { setToolTip(text); }

void CxSkinButton::SetCheck(int check) {
  m_checked = check != 0 && m_kind != kPushButton;
  if (m_checked && m_kind == kRadioButton) UncheckOthersInGroup();
  update();
}

// The buttons of this button's group: from the nearest group start at or
// before it up to the next group start, among the parent's skinned buttons.
void CxSkinButton::UncheckOthersInGroup() {
  if (!parentWidget()) return;
  QList<CxSkinButton*> group;
  bool inOurGroup = false;
  for (QObject* child : parentWidget()->children()) {
    auto* button = qobject_cast<CxSkinButton*>(child);
    if (!button) continue;
    if (button->m_groupStart) {
      if (inOurGroup) break;
      group.clear();
    }
    group.append(button);
    if (button == this) inOurGroup = true;
  }
  for (CxSkinButton* other : group) {
    if (other != this) {
      QCoreApplication::postEvent(other,
                                  new platform::PrivateMessageEvent(kRadioUncheckMessage, 0, 0));
    }
  }
}

void CxSkinButton::CheckByUser() {
  if (m_kind == kCheckBox) SetCheck(m_checked ? 0 : 1);
  if (m_kind == kRadioButton) SetCheck(1);
}

bool CxSkinButton::event(QEvent* event) {
  if (auto* message = dynamic_cast<platform::PrivateMessageEvent*>(event)) {
    if (message->Message().message == kRadioUncheckMessage) {
      if (m_checked) {
        m_checked = false;
        update();
      }
      return true;
    }
  }
  return QAbstractButton::event(event);
}

bool CxSkinButton::hitButton(const QPoint& pos) const {
  return m_hasMask ? m_region.contains(pos) : rect().contains(pos);
}

void CxSkinButton::mousePressEvent(QMouseEvent* event) {
  if (m_hover) {
    m_hover = false;
    update();
  }
  QAbstractButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) m_pressed = true;
}

void CxSkinButton::mouseReleaseEvent(QMouseEvent* event) {
  if (m_pressed && event->button() == Qt::LeftButton) {
    if (hitButton(event->position().toPoint())) CheckByUser();
    m_pressed = false;
    QToolTip::hideText();
  }
  QAbstractButton::mouseReleaseEvent(event);
}

void CxSkinButton::mouseMoveEvent(QMouseEvent* event) {
  if (!m_pressed && !m_hover && hitButton(event->position().toPoint())) {
    m_hover = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CxSkinButton::leaveEvent(QEvent* event) {
  m_hover = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CxSkinButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) CheckByUser();
  QAbstractButton::keyPressEvent(event);
}

void CxSkinButton::focusOutEvent(QFocusEvent* event) {
  m_pressed = false;
  QAbstractButton::focusOutEvent(event);
}

const QPixmap& CxSkinButton::PictureForState() const {
  if (isDown() || m_checked) return m_pressedPicture;
  if (m_hover && !m_hoverPicture.isNull()) return m_hoverPicture;
  if (hasFocus() && !m_focus.isNull()) return m_focus;
  return m_normal;
}

void CxSkinButton::DrawBitmap(QPainter& painter, const QPixmap& picture, const QRect& rect) const {
  if (picture.isNull()) {
    painter.fillRect(rect, palette().button());
    return;
  }
  switch (m_drawMode) {
    case kDrawTile:
      painter.drawTiledPixmap(rect, picture);
      break;
    case kDrawStretch:
      painter.drawPixmap(rect, picture);
      break;
    default:
      painter.drawPixmap(rect.topLeft(), picture);
      break;
  }
}

void CxSkinButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect item = rect();
  QRect textRect = item.adjusted(m_focusMargin + 2, 0, -(m_focusMargin + 2), 0);
  const QString caption = text();

  if (!isEnabled()) {
    DrawBitmap(painter, m_disabled, item);
    if (m_border) qDrawWinButton(&painter, item, palette(), false);
    if (!caption.isEmpty()) {
      painter.setPen(palette().color(QPalette::Light));
      painter.drawText(textRect.translated(1, 1), Qt::AlignCenter | Qt::TextSingleLine, caption);
      painter.setPen(palette().color(QPalette::Disabled, QPalette::ButtonText));
      painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
    return;
  }

  const bool sunken = isDown() || m_checked;
  DrawBitmap(painter, PictureForState(), item);
  if (sunken) textRect.translate(1, 1);
  if (m_border) qDrawWinButton(&painter, item, palette(), sunken);
  if (hasFocus() && m_focusMargin > 0) {
    QPen dotted(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawRect(item.adjusted(m_focusMargin, m_focusMargin, -m_focusMargin - 1,
                                   -m_focusMargin - 1));
  }
  if (!caption.isEmpty()) {
    painter.setPen(m_textColor);
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
  }
}
