#pragma once
// A decoded picture: three planes on the macroblock grid with margins that
// padding fills from the picture's edge samples, so that motion vectors
// reaching outside the picture read those samples without clipping.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Mp4Plane {
  std::vector<uint8_t> memory;
  uint8_t* origin = nullptr;  // first visible sample
  ptrdiff_t stride = 0;
  int width = 0;   // visible samples (the configured size)
  int height = 0;
  int border = 0;  // margin on every side of the macroblock grid
  int gridWidth = 0;   // samples of whole macroblocks
  int gridHeight = 0;

  void Allocate(int visibleWidth, int visibleHeight, int grid_w, int grid_h, int margin);
  // Whether rows [y0, y0 + rows) x columns [x0, x0 + cols) lie in memory.
  bool Holds(int x0, int y0, int cols, int rows) const {
    return x0 >= -border && y0 >= -border && x0 + cols <= gridWidth + border &&
           y0 + rows <= gridHeight + border;
  }
  // Replicates the edge samples of the macroblock grid into the margins.
  // Partial macroblocks keep the samples they decoded past the visible size:
  // vectors that reach there read them, as in the reference decoders.
  void Pad();
  void Fill(uint8_t value);
};

struct Mp4Picture {
  Mp4Plane y, u, v;
  // Throws std::bad_alloc.
  void Allocate(int width, int height);
  void Pad() {
    y.Pad();
    u.Pad();
    v.Pad();
  }
};

// Luma margin; 32 samples are reachable by the vectors the decoder accepts,
// the rest leaves room for interpolation taps and partial macroblocks.
constexpr int kMp4LumaBorder = 48;
constexpr int kMp4ChromaBorder = 24;
