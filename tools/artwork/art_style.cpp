#include "tools/artwork/art_style.h"

#include <algorithm>

namespace art {
namespace {

QColor Mix(const QColor& a, const QColor& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                          static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                          static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

const QColor kSide(0x1f, 0x22, 0x26);

}  // namespace

QColor SideColor() { return kSide; }

QColor TopBarColor(int row) {
  if (row <= 0) return QColor(0x3a, 0x40, 0x48);                 // light catching the top edge
  if (row >= kTopBarHeight - 1) return QColor(0x12, 0x14, 0x17);  // shadow above the video
  return Mix(QColor(0x30, 0x35, 0x3b), QColor(0x23, 0x26, 0x2b),
             (row - 1) / static_cast<double>(kTopBarHeight - 3));
}

QColor BottomPanelColor(int row) {
  if (row <= 0) return QColor(0x2c, 0x31, 0x37);  // a faint edge under the slider band
  return Mix(QColor(0x26, 0x2a, 0x2f), QColor(0x18, 0x1a, 0x1d),
             (row - 1) / static_cast<double>(kBottomPanelHeight - 2));
}

QFont LabelFont(int pixelSize, bool bold, bool condensed) {
  QFont font(condensed ? QStringLiteral("DejaVu Sans Condensed") : QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

}  // namespace art
