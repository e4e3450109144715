#pragma once
// Screen captures compared with reference pictures on a coarse grid: each
// cell's mean R, G and B, so that scaling, filtering and text edges hardly
// count while a wrong picture, view or colour does.
#include <QImage>
#include <QRect>

#include <array>
#include <vector>

namespace x11_test {

using GridCells = std::vector<std::array<double, 3>>;

// `area` of `image` averaged down to cellsX x cellsY cells, row by row.
GridCells AverageCells(const QImage& image, const QRect& area, int cellsX, int cellsY);

}  // namespace x11_test
