#include "tests/app/picture_grid.h"

#include <algorithm>

namespace x11_test {

GridCells AverageCells(const QImage& image, const QRect& area, int cellsX, int cellsY) {
  GridCells cells(static_cast<size_t>(cellsX) * static_cast<size_t>(cellsY));
  for (int cy = 0; cy < cellsY; ++cy) {
    for (int cx = 0; cx < cellsX; ++cx) {
      const int x0 = area.left() + cx * area.width() / cellsX, x1 = area.left() + (cx + 1) * area.width() / cellsX;
      const int y0 = area.top() + cy * area.height() / cellsY, y1 = area.top() + (cy + 1) * area.height() / cellsY;
      std::array<double, 3> sum{};
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const QRgb p = image.pixel(x, y);
          sum[0] += qRed(p);
          sum[1] += qGreen(p);
          sum[2] += qBlue(p);
        }
      }
      const double n = std::max(1, (x1 - x0) * (y1 - y0));
      cells[static_cast<size_t>(cy) * cellsX + cx] = {sum[0] / n, sum[1] / n, sum[2] / n};
    }
  }
  return cells;
}

}  // namespace x11_test
