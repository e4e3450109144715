#pragma once
// Turns 32-bit fisheye source pictures into one of three projections
// through remap tables, each rebuilt only when its parameters change.
#include <cstddef>
#include <cstdint>

#include "dewarp/lens_polynomial.h"
#include "dewarp/remap_table.h"

class DewarpEngine {
 public:
  // Force the next perspective render to rebuild.
  int SetLensCoefficients(double a0, double a1, double a2, double a3, double a4, double a5);
  int SetEngineFlags(bool wall);

  // Each render writes the table's pixels into dst (which must hold
  // dstPixels) and returns the bytes written, 0 when the table is empty or
  // dst too small.  Rotated renders turn the picture by 180 degrees.
  size_t RenderPtz(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH, int outW,
                   int outH, int16_t pan, int16_t tilt, int16_t zoom, bool rotated = false);
  size_t RenderPanorama(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH, double ratio,
                        int cx, int cy, int radius, int16_t start, int span, bool rotated = false);
  size_t RenderWall180(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH, int ratio,
                       int cut);

 private:
  struct PtzKey {
    int srcW = 0, srcH = 0, outW = 0, outH = 0;
    int16_t pan = 90, tilt = 90, zoom = 50;
    bool operator==(const PtzKey&) const = default;
  };
  struct PanoramaKey {
    int srcW = 0, srcH = 0;
    double ratio = 2.0;
    int cx = 0, cy = 0, radius = 0;
    int16_t start = 0;
    int span = 360;
    bool operator==(const PanoramaKey&) const = default;
  };
  struct WallKey {
    int srcW = 0, srcH = 0, ratio = 0, cut = 0;
    bool operator==(const WallKey&) const = default;
  };

  PtzKey ptzKey_;
  PanoramaKey panoramaKey_;
  WallKey wallKey_;
  bool dirty_ = false;
  bool wallFlag_ = false;
  LensCoefficients lens_ = kEquidistantLens;
  RemapTable panorama_;
  RemapTable ptz_;
  RemapTable wall_;
};
