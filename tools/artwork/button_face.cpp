#include "tools/artwork/button_face.h"

#include <QLinearGradient>

#include "tools/artwork/art_style.h"

namespace art {
namespace {

struct Face {
  QColor top, bottom, rim;
  int highlight;  // alpha of the light along the upper inside edge
};

Face FaceFor(State state, bool primary) {
  if (primary) {
    switch (state) {
      case State::Normal: return {QColor(0x52, 0xa8, 0xff), QColor(0x23, 0x6c, 0xc2), kOutline, 90};
      case State::Hover: return {QColor(0x72, 0xba, 0xff), QColor(0x2f, 0x7d, 0xd6), kOutline, 110};
      case State::Pressed: return {QColor(0x1b, 0x55, 0x99), QColor(0x2a, 0x6c, 0xb8), kOutline, 0};
      case State::Disabled: break;
    }
  }
  switch (state) {
    case State::Normal: return {QColor(0x40, 0x46, 0x4f), QColor(0x2a, 0x2e, 0x34), kOutline, 55};
    case State::Hover: return {QColor(0x4d, 0x55, 0x60), QColor(0x33, 0x39, 0x41), kOutline, 70};
    case State::Pressed: return {QColor(0x17, 0x2a, 0x3f), QColor(0x1f, 0x3b, 0x5a), kOutline, 0};
    case State::Disabled: break;
  }
  return {QColor(0x2d, 0x31, 0x36), QColor(0x26, 0x29, 0x2e), QColor(0x16, 0x18, 0x1b), 0};
}

}  // namespace

void PaintFace(QPainter& painter, const QPainterPath& shape, State state, bool primary) {
  const Face face = FaceFor(state, primary);
  const QRectF box = shape.boundingRect();
  painter.save();

  QLinearGradient body(box.topLeft(), box.bottomLeft());
  body.setColorAt(0, face.top);
  body.setColorAt(1, face.bottom);
  painter.setPen(Qt::NoPen);
  painter.setBrush(body);
  painter.drawPath(shape);

  // Light on the upper inside edge of a raised face; an accent ring round
  // a pressed or checked one, and a faint one under the cursor.
  painter.setBrush(Qt::NoBrush);
  painter.setClipPath(shape, Qt::IntersectClip);
  if (face.highlight > 0) {
    QPen light(QColor(255, 255, 255, face.highlight), 1.2);
    painter.setPen(light);
    painter.drawPath(shape.translated(0, 1.0));
  }
  if (state == State::Pressed && !primary) {
    painter.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 210), 1.6));
    painter.drawPath(shape);
  } else if (state == State::Hover) {
    painter.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 120), 1.6));
    painter.drawPath(shape);
  }
  painter.restore();

  painter.save();
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(face.rim, 1.0));
  painter.drawPath(shape);
  painter.restore();
}

QColor GlyphColour(State state, bool primary) {
  switch (state) {
    case State::Normal: return primary ? QColor(Qt::white) : kGlyph;
    case State::Hover: return kGlyphHover;
    case State::Pressed: return primary ? QColor(0xd8, 0xec, 0xff) : kGlyphPressed;
    case State::Disabled: return kGlyphDisabled;
  }
  return kGlyph;
}

}  // namespace art
