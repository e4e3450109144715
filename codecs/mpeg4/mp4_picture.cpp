#include "codecs/mpeg4/mp4_picture.h"

#include <cstring>

void Mp4Plane::Allocate(int visibleWidth, int visibleHeight, int grid_w, int grid_h, int margin) {
  width = visibleWidth;
  height = visibleHeight;
  gridWidth = grid_w;
  gridHeight = grid_h;
  border = margin;
  stride = ptrdiff_t(grid_w) + 2 * margin;
  const size_t rows = size_t(grid_h) + 2 * size_t(margin);
  memory.assign(rows * size_t(stride), 0);
  origin = memory.data() + ptrdiff_t(margin) * stride + margin;
}

void Mp4Plane::Fill(uint8_t value) { std::memset(memory.data(), value, memory.size()); }

void Mp4Plane::Pad() {
  for (int row = 0; row < gridHeight; ++row) {
    uint8_t* line = origin + row * stride;
    std::memset(line - border, line[0], size_t(border));
    std::memset(line + gridWidth, line[gridWidth - 1], size_t(border));
  }
  const uint8_t* first = origin - border;
  for (int row = -border; row < 0; ++row) std::memcpy(origin + row * stride - border, first, size_t(stride));
  const uint8_t* last = origin + (gridHeight - 1) * stride - border;
  for (int row = gridHeight; row < gridHeight + border; ++row)
    std::memcpy(origin + row * stride - border, last, size_t(stride));
}

void Mp4Picture::Allocate(int width, int height) {
  const int mbw = (width + 15) / 16, mbh = (height + 15) / 16;
  y.Allocate(width, height, mbw * 16, mbh * 16, kMp4LumaBorder);
  u.Allocate((width + 1) / 2, (height + 1) / 2, mbw * 8, mbh * 8, kMp4ChromaBorder);
  v.Allocate((width + 1) / 2, (height + 1) / 2, mbw * 8, mbh * 8, kMp4ChromaBorder);
}
