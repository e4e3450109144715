// Open, Snapshot and Convert AVI: labelled pill buttons in the top bar.
#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"
#include "tools/artwork/button_face.h"
#include "tools/artwork/glyphs.h"

namespace art {

void AddTopButtons(Catalog& catalog) {
  struct Pill {
    int id;
    const char* file;
    const char* label;
    Glyph glyph;
  };
  const Pill pills[] = {
      {artwork::kOpenButton, "open", "Open", Glyph::Folder},
      {artwork::kSnapshotButton, "snapshot", "Snapshot", Glyph::Camera},
      {artwork::kConvertAviButton, "convert_avi", "Convert AVI", Glyph::Film},
  };
  const QSize frame(100, 33);
  for (const Pill& pill : pills) {
    StripSpec spec;
    spec.frame = frame;
    spec.usable = frame;
    spec.backdrop = [](int row) { return TopBarColor(row + kTopButtonRowInTopBar); };
    spec.paint = [pill](QPainter& painter, State state) {
      const QRectF body(1.5, 2.5, 97, 28);
      QPainterPath shape;
      shape.addRoundedRect(body, 8, 8);
      PaintFace(painter, shape, state);

      const QFont font = LabelFont(11, true, true);
      const QString label = QString::fromLatin1(pill.label);
      const QFontMetricsF metrics(font);
      const QSizeF icon(15, 13);
      const double gap = 5;
      const double total = icon.width() + gap + metrics.horizontalAdvance(label);
      const double left = std::round(body.center().x() - total / 2);
      const double shift = state == State::Pressed ? 0.5 : 0;
      const QColor colour = GlyphColour(state);
      DrawGlyph(painter, pill.glyph,
                QRectF(left, body.center().y() - icon.height() / 2 + shift, icon.width(), icon.height()),
                colour);
      painter.setFont(font);
      painter.setPen(colour);
      painter.drawText(QRectF(left + icon.width() + gap, body.top() + shift, total, body.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
    };
    catalog.Add(QStringLiteral("BITMAP"), QString::number(pill.id),
                QStringLiteral("buttons/%1_%2.png").arg(pill.id).arg(QLatin1String(pill.file)),
                MakeButtonStrip(spec));
  }
}

}  // namespace art
