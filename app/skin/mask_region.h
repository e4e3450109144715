#pragma once
// The shape a mask picture gives a window: every pixel that is not pure
// white belongs to it.
#include <QImage>
#include <QRegion>

QRegion CreateRgnFromBitmap(const QImage& mask);
