#include "dewarp/dewarp_engine.h"

#include "dewarp/remap_builders.h"

int DewarpEngine::SetLensCoefficients(double a0, double a1, double a2, double a3, double a4, double a5) {
  lens_ = {a0, a1, a2, a3, a4, a5};
  dirty_ = true;
  return 0;
}

int DewarpEngine::SetEngineFlags(bool wall) {
  wallFlag_ = wall;
  dirty_ = true;
  return 0;
}

size_t DewarpEngine::RenderPtz(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH,
                               int outW, int outH, int16_t pan, int16_t tilt, int16_t zoom, bool rotated) {
  const PtzKey key{srcW, srcH, outW, outH, pan, tilt, zoom};
  if (dirty_ || !(key == ptzKey_)) {
    BuildPtzTable(srcW, srcH, outW, outH, pan, tilt, zoom, lens_, wallFlag_, &ptz_);
    dirty_ = false;
    ptzKey_ = key;
  }
  return ptz_.Render(src, srcW, srcH, dst, dstPixels, rotated);
}

size_t DewarpEngine::RenderPanorama(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH,
                                    double ratio, int cx, int cy, int radius, int16_t start, int span,
                                    bool rotated) {
  const PanoramaKey key{srcW, srcH, ratio, cx, cy, radius, start, span};
  if (!(key == panoramaKey_) || !panorama_.Valid()) {
    BuildPanoramaTable(srcW, srcH, static_cast<int>(ratio), cx, cy, radius, start, span, &panorama_);
    panoramaKey_ = key;
  }
  return panorama_.Render(src, srcW, srcH, dst, dstPixels, rotated);
}

size_t DewarpEngine::RenderWall180(const uint32_t* src, uint32_t* dst, size_t dstPixels, int srcW, int srcH,
                                   int ratio, int cut) {
  const WallKey key{srcW, srcH, ratio, cut};
  if (!(key == wallKey_) || !wall_.Valid()) {
    BuildWall180Table(srcW, srcH, ratio, cut, &wall_);
    wallKey_ = key;
  }
  return wall_.Render(src, srcW, srcH, dst, dstPixels, false);
}
