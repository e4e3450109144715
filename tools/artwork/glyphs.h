#pragma once
// The symbols on the buttons, drawn into a box in one colour.
#include <QColor>
#include <QPainter>
#include <QRectF>

namespace art {

enum class Glyph {
  Play, Pause, Stop, StepBack, StepForward,          // transport
  Folder, Camera, Film,                               // Open, Snapshot, Convert AVI
  Fisheye, Single, Quad, Dual180, Pano360, Wall180,   // fisheye views
  Ceiling, Desk, Wall,                                // camera mounts
};

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& colour);

}  // namespace art
