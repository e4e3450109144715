#pragma once
// The face every skinned button shares: a softly lit body with a dark rim,
// brighter under the cursor, pressed in (and lit with the accent) while
// held or checked, flat and dim when disabled.  Glyphs and labels take the
// colour that goes with the state.
#include <QPainter>
#include <QPainterPath>

#include "tools/artwork/button_strip.h"

namespace art {

// `primary` gives the accent-coloured body of the main action (Play).
void PaintFace(QPainter& painter, const QPainterPath& shape, State state, bool primary = false);
QColor GlyphColour(State state, bool primary = false);

}  // namespace art
