#include "app/skin/dialog_units.h"

QFont DialogFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  return font;
}
