// The program icon: a lens ring in the accent colour around a play
// symbol, on a dark rounded square; drawn afresh for each size.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <QRadialGradient>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"

namespace art {
namespace {

QImage Icon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);

  QLinearGradient back(tile.topLeft(), tile.bottomLeft());
  back.setColorAt(0, QColor(0x35, 0x3c, 0x45));
  back.setColorAt(1, QColor(0x14, 0x17, 0x1b));
  painter.setPen(QPen(QColor(0x0a, 0x0b, 0x0d), std::max(1.0, s / 48)));
  painter.setBrush(back);
  painter.drawRoundedRect(tile, s * 0.2, s * 0.2);

  const QPointF centre = tile.center();
  const double ring = s * 0.33;
  QRadialGradient lens(centre, ring);
  lens.setColorAt(0, QColor(0x16, 0x2d, 0x48));
  lens.setColorAt(0.75, QColor(0x0d, 0x1a, 0x2b));
  lens.setColorAt(1, QColor(0x08, 0x10, 0x1a));
  painter.setBrush(lens);
  QLinearGradient rim(centre.x(), centre.y() - ring, centre.x(), centre.y() + ring);
  rim.setColorAt(0, QColor(0x8f, 0xcb, 0xff));
  rim.setColorAt(1, kAccentDeep);
  painter.setPen(QPen(QBrush(rim), std::max(1.5, s * 0.075)));
  painter.drawEllipse(centre, ring, ring);

  const double t = s * 0.15;
  QPainterPath play(QPointF(centre.x() - t * 0.62, centre.y() - t));
  play.lineTo(QPointF(centre.x() + t * 1.0, centre.y()));
  play.lineTo(QPointF(centre.x() - t * 0.62, centre.y() + t));
  play.closeSubpath();
  painter.setPen(QPen(Qt::white, std::max(0.8, s * 0.03), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::white);
  painter.drawPath(play);
  return image;
}

}  // namespace

void AddProgramIcon(Catalog& catalog) {
  for (int size : {16, 32, 48, 256}) {
    catalog.Add(QStringLiteral("ICON"), QStringLiteral("%1/%2").arg(artwork::kIcon).arg(size),
                QStringLiteral("icon/128_%1.png").arg(size), Icon(size));
  }
}

}  // namespace art
