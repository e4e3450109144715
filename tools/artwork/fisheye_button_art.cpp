// The fisheye controls: six view tiles down the right side (a symbol over
// a short label) and three mount keys in the top bar.  Checked, a tile
// shows its pressed face, lit with the accent.
#include <QPainterPath>

#include "res/artwork_ids.h"
#include "tools/artwork/art_parts.h"
#include "tools/artwork/art_style.h"
#include "tools/artwork/button_face.h"
#include "tools/artwork/glyphs.h"

namespace art {

void AddFisheyeButtons(Catalog& catalog) {
  struct Tile {
    int id;
    const char* file;
    const char* label;
    Glyph glyph;
    QSizeF glyphSize;
  };
  const Tile views[] = {
      {artwork::kFisheyeViewButton, "fisheye_view", "Fisheye", Glyph::Fisheye, {18, 18}},
      {artwork::kSingleViewButton, "single_view", "Single", Glyph::Single, {22, 16}},
      {artwork::kWall180Button, "wall_180", "180\u00b0", Glyph::Wall180, {24, 16}},
      {artwork::kQuadViewButton, "quad_view", "Quad", Glyph::Quad, {20, 16}},
      {artwork::kDual180Button, "dual_180", "2\u00d7180\u00b0", Glyph::Dual180, {24, 17}},
      {artwork::k360Button, "360", "360\u00b0", Glyph::Pano360, {22, 17}},
  };
  for (const Tile& tile : views) {
    StripSpec spec;
    spec.frame = QSize(45, 54);
    spec.usable = spec.frame;
    spec.backdrop = [](int) { return SideColor(); };
    spec.paint = [tile](QPainter& painter, State state) {
      const QRectF body(1.5, 1.5, 42, 51);
      QPainterPath shape;
      shape.addRoundedRect(body, 6, 6);
      PaintFace(painter, shape, state);
      const double shift = state == State::Pressed ? 0.5 : 0;
      const QColor colour = GlyphColour(state);
      const QPointF glyphCentre(body.center().x(), 19.5 + shift);
      DrawGlyph(painter, tile.glyph,
                QRectF(glyphCentre.x() - tile.glyphSize.width() / 2,
                       glyphCentre.y() - tile.glyphSize.height() / 2, tile.glyphSize.width(),
                       tile.glyphSize.height()),
                colour);
      painter.setFont(LabelFont(9, false));
      painter.setPen(colour);
      painter.drawText(QRectF(body.left(), 33 + shift, body.width(), 13), Qt::AlignCenter,
                       QString::fromUtf8(tile.label));
    };
    catalog.Add(QStringLiteral("BITMAP"), QString::number(tile.id),
                QStringLiteral("buttons/%1_%2.png").arg(tile.id).arg(QLatin1String(tile.file)),
                MakeButtonStrip(spec));
  }

  struct Mount {
    int id;
    const char* file;
    Glyph glyph;
  };
  const Mount mounts[] = {
      {artwork::kCeilingMountButton, "ceiling_mount", Glyph::Ceiling},
      {artwork::kDeskMountButton, "desk_mount", Glyph::Desk},
      {artwork::kWallMountButton, "wall_mount", Glyph::Wall},
  };
  for (const Mount& mount : mounts) {
    StripSpec spec;
    spec.frame = QSize(36, 33);
    spec.usable = QSize(36, 32);  // the window is laid out one row shorter
    spec.backdrop = [](int row) { return TopBarColor(row + kTopButtonRowInTopBar); };
    spec.paint = [mount](QPainter& painter, State state) {
      const QRectF body(2.5, 1.5, 31, 28);
      QPainterPath shape;
      shape.addRoundedRect(body, 6, 6);
      PaintFace(painter, shape, state);
      const double shift = state == State::Pressed ? 0.5 : 0;
      DrawGlyph(painter, mount.glyph,
                QRectF(body.center().x() - 10, body.center().y() - 7.5 + shift, 20, 15),
                GlyphColour(state));
    };
    catalog.Add(QStringLiteral("BITMAP"), QString::number(mount.id),
                QStringLiteral("buttons/%1_%2.png").arg(mount.id).arg(QLatin1String(mount.file)),
                MakeButtonStrip(spec));
  }
}

}  // namespace art
