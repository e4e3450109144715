// The position slider: the played part of the channel in the accent
// colour, the rest as a grey groove, and a small light thumb.  The channel
// pictures are uniform between their 12-pixel ends, since the slider cuts
// and stretches them there.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"

namespace art {
namespace {

constexpr int kChannelWidth = 720;
constexpr int kChannelHeight = 10;
const QRectF kGroove(2, 3, kChannelWidth - 4, 4);

QImage Channel(bool played) {
  QImage image(kChannelWidth, kChannelHeight, QImage::Format_RGB32);
  image.fill(SideColor());
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath groove;
  groove.addRoundedRect(kGroove, 2, 2);
  QLinearGradient fill(0, kGroove.top(), 0, kGroove.bottom());
  if (played) {
    fill.setColorAt(0, QColor(0x6c, 0xb8, 0xff));
    fill.setColorAt(1, QColor(0x2e, 0x86, 0xe0));
  } else {
    fill.setColorAt(0, QColor(0x2c, 0x31, 0x37));
    fill.setColorAt(1, QColor(0x3c, 0x42, 0x4a));
  }
  painter.fillPath(groove, fill);
  return image;
}

QImage Thumb() {
  constexpr int kCell = 16;
  constexpr int kHeight = 9;
  QImage image(3 * kCell, kHeight, QImage::Format_RGB32);
  image.fill(SideColor());
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  struct Look {
    QColor top, bottom, rim;
  };
  const Look looks[] = {
      {QColor(0xf2, 0xf4, 0xf7), QColor(0xbd, 0xc4, 0xcc), kOutline},  // normal
      {QColor(0xff, 0xff, 0xff), QColor(0xd9, 0xe6, 0xf3), QColor(0x1d, 0x5e, 0xa8)},  // hovered
      {QColor(0xa6, 0xd5, 0xff), QColor(0x4a, 0xa3, 0xff), QColor(0x10, 0x3c, 0x6e)},  // pressed
  };
  for (int i = 0; i < 3; ++i) {
    const QRectF body(i * kCell + 0.5, 0.5, kCell - 1, kHeight - 1);
    QPainterPath knob;
    knob.addRoundedRect(body, 2.5, 2.5);
    QLinearGradient fill(0, 0, 0, kHeight);
    fill.setColorAt(0, looks[i].top);
    fill.setColorAt(1, looks[i].bottom);
    painter.setBrush(fill);
    painter.setPen(QPen(looks[i].rim, 1));
    painter.drawPath(knob);
    // Two grip lines in the middle.
    painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
    painter.drawLine(QPointF(i * kCell + 6.5, 3), QPointF(i * kCell + 6.5, 6));
    painter.drawLine(QPointF(i * kCell + 9.5, 3), QPointF(i * kCell + 9.5, 6));
  }
  return image;
}

}  // namespace

void AddSliderPictures(Catalog& catalog) {
  catalog.Add(QStringLiteral("BITMAP"), QString::number(artwork::kSliderChannelLeft),
              QStringLiteral("slider/164_channel_played.png"), Channel(true));
  catalog.Add(QStringLiteral("BITMAP"), QString::number(artwork::kSliderChannelRight),
              QStringLiteral("slider/165_channel_remaining.png"), Channel(false));
  catalog.Add(QStringLiteral("BITMAP"), QString::number(artwork::kSliderThumb),
              QStringLiteral("slider/166_thumb.png"), Thumb());
}

}  // namespace art
