#pragma once
// The three projections of a fisheye picture, each computed into a remap
// table.  The output size of each is worked out by one function that the
// channels use as well, so that a tile is always exactly as large as the
// table rendered into it.
#include "dewarp/lens_polynomial.h"
#include "dewarp/remap_table.h"

struct TileSize {
  int width = 0;
  int height = 0;
};

// Perspective view along pan (azimuth) and tilt (elevation above the plane
// across the lens axis), zoom the horizontal field of view, all in degrees.
// Rows are scaled by the output width: the view axis sits at row outW / 2.
// wall: the lens axis is horizontal (a wall-mounted camera).
void BuildPtzTable(int srcW, int srcH, int outW, int outH, float pan, float tilt, float zoom,
                   const LensCoefficients& lens, bool wall, RemapTable* table);

// Polar unwrap of the circle (cx, cy, radius in source pixels) into a
// strip radius / ratio rows high, from the start angle over span degrees.
TileSize PanoramaTableSize(int radius, int ratio, int span);
void BuildPanoramaTable(int srcW, int srcH, int ratio, int cx, int cy, int radius, int start, int span,
                        RemapTable* table);

// Equidistant half-sphere view of a wall camera, source / ratio in size,
// with the top and bottom of cut bands dropped.
TileSize Wall180TableSize(int srcW, int srcH, int ratio, int cut);
void BuildWall180Table(int srcW, int srcH, int ratio, int cut, RemapTable* table);
