#pragma once
// The look shared by every piece of artwork: the colours of the window's
// frame, which the buttons are blended against, and of the controls.
#include <QColor>
#include <QFont>

namespace art {

// The frame around the video: a top bar 37 rows high with a soft gradient,
// flat sides and slider band, and a bottom panel 65 rows high.  All of it
// is uniform along the horizontal, so the pieces stretch sideways cleanly.
constexpr int kTopBarHeight = 37;
constexpr int kBottomPanelHeight = 65;
constexpr int kSliderBandHeight = 11;
QColor TopBarColor(int row);
QColor BottomPanelColor(int row);
QColor SideColor();

// Rows of the frame behind each kind of button's first row.
constexpr int kTopButtonRowInTopBar = 2;
constexpr int kTransportRowInBottomPanel = 7;

// The controls.
const QColor kAccent(0x4a, 0xa3, 0xff);
const QColor kAccentDeep(0x24, 0x6f, 0xc4);
const QColor kGlyph(0xdc, 0xe1, 0xe7);
const QColor kGlyphHover(0xff, 0xff, 0xff);
const QColor kGlyphPressed(0x8f, 0xcb, 0xff);
const QColor kGlyphDisabled(0x5c, 0x63, 0x6c);
const QColor kOutline(0x0f, 0x11, 0x13);

// Fonts of the labels drawn into the artwork (DejaVu, loaded by the tool
// from the system's font files so that the result does not depend on the
// font configuration).
QFont LabelFont(int pixelSize, bool bold, bool condensed = false);

}  // namespace art
