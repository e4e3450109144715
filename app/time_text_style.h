#pragma once
// The look of the time text under the video: a small dark display whose
// font fits "00:00:59 / 01:02:05" into the 105-pixel box.
#include <QFont>
#include <QLabel>

QFont TimeTextFont();
void StyleTimeText(QLabel& label);
