#pragma once
// Dialog templates give sizes in dialog units of their font.  The
// templates' font has base units of 6 x 13 pixels, so one horizontal unit
// is 6/4 pixels and one vertical unit 13/8 pixels.
#include <QFont>
#include <QPoint>
#include <QSize>

constexpr int kDialogBaseUnitX = 6;
constexpr int kDialogBaseUnitY = 13;

constexpr int DluToPixelsX(int dlu) { return dlu * kDialogBaseUnitX / 4; }
constexpr int DluToPixelsY(int dlu) { return dlu * kDialogBaseUnitY / 8; }
inline QSize DluToPixels(int width, int height) {
  return {DluToPixelsX(width), DluToPixelsY(height)};
}
inline QPoint DluToPixelsPoint(int x, int y) { return {DluToPixelsX(x), DluToPixelsY(y)}; }

// The dialogs' own font, standing in for the templates' 8-point sans serif
// (11 pixels high at 96 dots per inch).
QFont DialogFont();
