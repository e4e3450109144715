// Stop, step backward, play, pause and step forward: round keys in the
// bottom panel, Play larger and in the accent colour.  The keys' centres
// are spread so that the gaps between the circles are equal in the
// window's layout.
#include <QPainterPath>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"
#include "tools/artwork/button_face.h"
#include "tools/artwork/glyphs.h"

namespace art {
namespace {

struct Key {
  int id;
  const char* file;
  int frameWidth;
  int usableWidth;
  double centreX;
  double radius;
  Glyph glyph;
  QSizeF glyphSize;
  bool primary;
};

constexpr int kFrameHeight = 54;

}  // namespace

void AddTransportButtons(Catalog& catalog) {
  const Key keys[] = {
      {artwork::kStopButton, "stop", 47, 47, 24.5, 19, Glyph::Stop, {12, 12}, false},
      {artwork::kStepBackButton, "step_back", 43, 41, 21.5, 19, Glyph::StepBack, {15, 14}, false},
      {artwork::kPlayButton, "play", 53, 53, 26.5, 24, Glyph::Play, {17, 20}, true},
      {artwork::kPauseButton, "pause", 45, 45, 22.5, 19, Glyph::Pause, {13, 14}, false},
      {artwork::kStepForwardButton, "step_forward", 41, 41, 21.5, 19, Glyph::StepForward, {15, 14}, false},
  };
  for (const Key& key : keys) {
    StripSpec spec;
    spec.frame = QSize(key.frameWidth, kFrameHeight);
    spec.usable = QSize(key.usableWidth, kFrameHeight);
    spec.backdrop = [](int row) { return BottomPanelColor(row + kTransportRowInBottomPanel); };
    spec.paint = [key](QPainter& painter, State state) {
      const QPointF centre(key.centreX, kFrameHeight / 2.0);
      QPainterPath circle;
      circle.addEllipse(centre, key.radius - 0.5, key.radius - 0.5);
      PaintFace(painter, circle, state, key.primary);
      const QRectF glyph(centre.x() - key.glyphSize.width() / 2, centre.y() - key.glyphSize.height() / 2,
                         key.glyphSize.width(), key.glyphSize.height());
      DrawGlyph(painter, key.glyph, glyph.translated(0, state == State::Pressed ? 0.5 : 0),
                GlyphColour(state, key.primary));
    };
    catalog.Add(QStringLiteral("BITMAP"), QString::number(key.id),
                QStringLiteral("buttons/%1_%2.png").arg(key.id).arg(QLatin1String(key.file)),
                MakeButtonStrip(spec));
  }
}

}  // namespace art
