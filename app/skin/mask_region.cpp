#include "app/skin/mask_region.h"

#include <QList>
#include <QRect>

QRegion CreateRgnFromBitmap(const QImage& mask) {
  const QImage pixels = mask.convertToFormat(QImage::Format_RGB32);
  QList<QRect> runs;
  for (int y = 0; y < pixels.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < pixels.width()) {
      while (x < pixels.width() && (row[x] & 0xFFFFFF) == 0xFFFFFF) ++x;
      const int start = x;
      while (x < pixels.width() && (row[x] & 0xFFFFFF) != 0xFFFFFF) ++x;
      if (x > start) runs.append(QRect(start, y, x - start, 1));
    }
  }
  QRegion region;
  region.setRects(runs.constData(), static_cast<int>(runs.size()));
  return region;
}
