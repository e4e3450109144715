#include "tools/artwork/glyphs.h"

#include <QPainterPath>
#include <algorithm>

namespace art {
namespace {

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
  QPainterPath path(a);
  path.lineTo(b);
  path.lineTo(c);
  path.closeSubpath();
  return path;
}

// A triangle with slightly rounded corners, pointing right (or left).
QPainterPath SoftTriangle(const QRectF& box, bool right) {
  const QPointF tip = right ? QPointF(box.right(), box.center().y()) : QPointF(box.left(), box.center().y());
  const double back = right ? box.left() : box.right();
  QPainterPath path = Triangle(QPointF(back, box.top()), tip, QPointF(back, box.bottom()));
  QPainterPathStroker stroker;
  stroker.setWidth(1.4);
  stroker.setJoinStyle(Qt::RoundJoin);
  return path.united(stroker.createStroke(path));
}

void Fill(QPainter& painter, const QPainterPath& path, const QColor& colour) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawPath(path);
}

QPen Line(const QColor& colour, double width = 1.5) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// A dome camera: a half-ball on a base plate, opening towards `down`
// (true: the lens looks down from a ceiling).
void Dome(QPainter& painter, const QRectF& box, const QColor& colour, bool down) {
  const double cx = box.center().x();
  const double r = box.width() / 2;
  painter.setPen(Line(colour, 1.5));
  QColor fill = colour;
  fill.setAlpha(110);
  painter.setBrush(fill);
  QPainterPath dome;
  if (down) {
    const double base = box.top();
    dome.moveTo(cx - r, base);
    dome.arcTo(QRectF(cx - r, base - r, 2 * r, 2 * r), 180, 180);
    painter.drawPath(dome);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(cx, base + r * 0.55), r * 0.32, r * 0.32);
  } else {
    const double base = box.bottom();
    dome.moveTo(cx - r, base);
    dome.arcTo(QRectF(cx - r, base - r, 2 * r, 2 * r), 180, -180);
    painter.drawPath(dome);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(cx, base - r * 0.55), r * 0.32, r * 0.32);
  }
}

}  // namespace

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& colour) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF c = box.center();
  const double w = box.width();
  const double h = box.height();
  switch (glyph) {
    case Glyph::Play: {
      // Optically centred: the triangle's weight sits left of its box.
      const QRectF t(c.x() - w * 0.36, box.top(), w * 0.86, h);
      Fill(painter, SoftTriangle(t, true), colour);
      break;
    }
    case Glyph::Pause: {
      const double bar = w * 0.3;
      QPainterPath bars;
      bars.addRoundedRect(QRectF(c.x() - w * 0.42, box.top(), bar, h), 1.2, 1.2);
      bars.addRoundedRect(QRectF(c.x() + w * 0.42 - bar, box.top(), bar, h), 1.2, 1.2);
      Fill(painter, bars, colour);
      break;
    }
    case Glyph::Stop: {
      QPainterPath square;
      square.addRoundedRect(box, 1.8, 1.8);
      Fill(painter, square, colour);
      break;
    }
    case Glyph::StepBack:
    case Glyph::StepForward: {
      const bool forward = glyph == Glyph::StepForward;
      const double bar = w * 0.2;
      QPainterPath path;
      const QRectF barBox = forward ? QRectF(box.right() - bar, box.top(), bar, h)
                                    : QRectF(box.left(), box.top(), bar, h);
      path.addRoundedRect(barBox, 1.0, 1.0);
      const QRectF tri = forward ? QRectF(box.left(), box.top(), w - bar - w * 0.12, h)
                                 : QRectF(box.left() + bar + w * 0.12, box.top(), w - bar - w * 0.12, h);
      path = path.united(SoftTriangle(tri, forward));
      Fill(painter, path, colour);
      break;
    }
    case Glyph::Folder: {
      QPainterPath back;
      back.moveTo(box.left(), box.top() + h * 0.15);
      back.lineTo(box.left() + w * 0.38, box.top() + h * 0.15);
      back.lineTo(box.left() + w * 0.5, box.top() + h * 0.32);
      back.lineTo(box.right(), box.top() + h * 0.32);
      back.lineTo(box.right(), box.bottom());
      back.lineTo(box.left(), box.bottom());
      back.closeSubpath();
      painter.setPen(Line(colour, 1.4));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(back);
      QPainterPath front;
      front.moveTo(box.left() + w * 0.12, box.top() + h * 0.5);
      front.lineTo(box.right() + w * 0.08, box.top() + h * 0.5);
      front.lineTo(box.right(), box.bottom());
      front.lineTo(box.left(), box.bottom());
      front.closeSubpath();
      QColor fill = colour;
      fill.setAlpha(110);
      painter.setBrush(fill);
      painter.drawPath(front);
      break;
    }
    case Glyph::Camera: {
      QPainterPath body;
      body.addRoundedRect(QRectF(box.left(), box.top() + h * 0.22, w, h * 0.78), 2.2, 2.2);
      QPainterPath hump;
      hump.addRoundedRect(QRectF(c.x() - w * 0.2, box.top(), w * 0.4, h * 0.3), 1.2, 1.2);
      painter.setPen(Line(colour, 1.4));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(body.united(hump));
      painter.drawEllipse(QPointF(c.x(), box.top() + h * 0.6), w * 0.22, w * 0.22);
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      painter.drawEllipse(QPointF(box.right() - w * 0.14, box.top() + h * 0.38), 0.9, 0.9);
      break;
    }
    case Glyph::Film: {
      const QRectF frame(box.left(), box.top() + h * 0.08, w * 0.62, h * 0.84);
      painter.setPen(Line(colour, 1.4));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(frame, 1.5, 1.5);
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      for (int i = 0; i < 3; ++i) {
        const double y = frame.top() + 2.0 + i * (frame.height() - 4.0) / 2.5;
        painter.drawRect(QRectF(frame.left() + 1.6, y, 1.6, 1.6));
        painter.drawRect(QRectF(frame.right() - 3.2, y, 1.6, 1.6));
      }
      // An arrow out of the film: the archive becomes a video file.
      painter.setPen(Line(colour, 1.6));
      const double ay = c.y();
      const double ax0 = frame.right() + w * 0.08;
      const double ax1 = box.right();
      painter.drawLine(QPointF(ax0, ay), QPointF(ax1, ay));
      painter.drawLine(QPointF(ax1, ay), QPointF(ax1 - h * 0.25, ay - h * 0.25));
      painter.drawLine(QPointF(ax1, ay), QPointF(ax1 - h * 0.25, ay + h * 0.25));
      break;
    }
    case Glyph::Fisheye: {
      // A ball with its meridian and equator bent, as a fisheye lens sees.
      const double r = std::min(w, h) / 2;
      painter.setPen(Line(colour, 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(c, r, r);
      painter.setPen(Line(colour, 1.0));
      painter.drawEllipse(c, r * 0.45, r);
      painter.drawEllipse(c, r, r * 0.45);
      break;
    }
    case Glyph::Single: {
      painter.setPen(Line(colour, 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(box, 1.5, 1.5);
      QColor fill = colour;
      fill.setAlpha(90);
      painter.setPen(Qt::NoPen);
      painter.setBrush(fill);
      painter.drawRect(box.adjusted(2.5, 2.5, -2.5, -2.5));
      break;
    }
    case Glyph::Quad: {
      const double gap = 2.0;
      const double cw = (w - gap) / 2;
      const double ch = (h - gap) / 2;
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      for (int i = 0; i < 4; ++i) {
        painter.drawRoundedRect(QRectF(box.left() + (i % 2) * (cw + gap), box.top() + (i / 2) * (ch + gap), cw, ch), 1.2, 1.2);
      }
      break;
    }
    case Glyph::Dual180: {
      const double gap = 2.5;
      const double ch = (h - gap) / 2;
      painter.setPen(Line(colour, 1.4));
      painter.setBrush(Qt::NoBrush);
      for (int i = 0; i < 2; ++i) {
        const QRectF strip(box.left(), box.top() + i * (ch + gap), w, ch);
        QPainterPath pano;
        pano.moveTo(strip.left(), strip.top() + 1.5);
        pano.quadTo(QPointF(strip.center().x(), strip.top() - 1.5), QPointF(strip.right(), strip.top() + 1.5));
        pano.lineTo(strip.right(), strip.bottom() - 1.5);
        pano.quadTo(QPointF(strip.center().x(), strip.bottom() - 4.0), QPointF(strip.left(), strip.bottom() - 1.5));
        pano.closeSubpath();
        painter.drawPath(pano);
      }
      break;
    }
    case Glyph::Pano360: {
      // A ring opened out into a band, with the arrow going all the way round.
      painter.setPen(Line(colour, 1.5));
      painter.setBrush(Qt::NoBrush);
      const QRectF ring(box.left(), box.top() + h * 0.12, w, h * 0.76);
      painter.drawArc(ring, 110 * 16, 320 * 16);
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      const QPointF end(ring.center().x() - ring.width() / 2 * 0.34, ring.top() + ring.height() * 0.03);
      painter.drawPath(Triangle(end + QPointF(3.4, 0), end + QPointF(-1.4, -3.0), end + QPointF(-1.4, 3.0)));
      painter.setPen(Line(colour, 1.0));
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(ring.center(), ring.width() * 0.18, ring.height() * 0.18);
      break;
    }
    case Glyph::Wall180: {
      painter.setPen(Line(colour, 1.5));
      painter.setBrush(Qt::NoBrush);
      QPainterPath pano;
      pano.moveTo(box.left(), box.top() + h * 0.2);
      pano.quadTo(QPointF(c.x(), box.top() - h * 0.12), QPointF(box.right(), box.top() + h * 0.2));
      pano.lineTo(box.right(), box.bottom() - h * 0.2);
      pano.quadTo(QPointF(c.x(), box.bottom() - h * 0.5), QPointF(box.left(), box.bottom() - h * 0.2));
      pano.closeSubpath();
      painter.drawPath(pano);
      break;
    }
    case Glyph::Ceiling: {
      painter.setPen(Line(colour, 2.0));
      painter.drawLine(QPointF(box.left(), box.top() + 1), QPointF(box.right(), box.top() + 1));
      Dome(painter, QRectF(box.left() + w * 0.18, box.top() + 3.5, w * 0.64, h - 3.5), colour, true);
      break;
    }
    case Glyph::Desk: {
      painter.setPen(Line(colour, 2.0));
      painter.drawLine(QPointF(box.left(), box.bottom() - 1), QPointF(box.right(), box.bottom() - 1));
      Dome(painter, QRectF(box.left() + w * 0.18, box.top(), w * 0.64, h - 3.5), colour, false);
      break;
    }
    case Glyph::Wall: {
      // A bullet camera on an arm, looking down and out from the wall.
      painter.setPen(Line(colour, 2.0));
      painter.drawLine(QPointF(box.left() + 1, box.top()), QPointF(box.left() + 1, box.bottom()));
      painter.setPen(Line(colour, 1.5));
      painter.drawLine(QPointF(box.left() + 2, c.y() + h * 0.1), QPointF(box.left() + w * 0.32, c.y() - h * 0.02));
      painter.translate(box.left() + w * 0.62, c.y() - h * 0.08);
      painter.rotate(18);
      QColor fill = colour;
      fill.setAlpha(110);
      painter.setBrush(fill);
      painter.drawRoundedRect(QRectF(-w * 0.32, -h * 0.22, w * 0.58, h * 0.44), 1.5, 1.5);
      painter.setBrush(colour);
      painter.setPen(Qt::NoPen);
      painter.drawRect(QRectF(w * 0.26, -h * 0.16, w * 0.1, h * 0.32));
      break;
    }
  }
  painter.restore();
}

}  // namespace art
