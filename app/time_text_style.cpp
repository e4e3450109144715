#include "app/time_text_style.h"

#include <QFontInfo>

// Condensed digits fit the text at 11 pixels; without the condensed face,
// the regular one fits at 10.
QFont TimeTextFont() {
  QFont condensed(QStringLiteral("DejaVu Sans Condensed"));
  condensed.setPixelSize(11);
  if (QFontInfo(condensed).family() == condensed.family()) return condensed;
  QFont regular(QStringLiteral("DejaVu Sans"));
  regular.setPixelSize(10);
  return regular;
}

void StyleTimeText(QLabel& label) {
  label.setFont(TimeTextFont());
  label.setAlignment(Qt::AlignCenter);
  label.setTextFormat(Qt::PlainText);
  // A sunken display set into the panel, like the channel of the slider.
  label.setStyleSheet(QStringLiteral(
      "QLabel { color: #cfe6ff; background-color: #0d1014;"
      " border: 1px solid #07090b; border-bottom-color: #3a424c; border-right-color: #3a424c;"
      " border-radius: 0px; padding: 0px; }"));
}
