#include "dewarp/remap_builders.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDegree = 0.017453292519943295;

// A source point that is not finite or lies beyond this is off any picture;
// it becomes a point that renders black (converting it would overflow).
constexpr double kFarthest = 1073741824.0;  // 2^30

int32_t Floored(double v) {
  if (!std::isfinite(v) || std::fabs(v) > kFarthest) return -1;
  return static_cast<int32_t>(std::floor(v));
}

int32_t Truncated(double v) {
  if (!std::isfinite(v) || std::fabs(v) > kFarthest) return -1;
  return static_cast<int32_t>(v);
}

}  // namespace

void BuildPtzTable(int srcW, int srcH, int outW, int outH, float pan, float tilt, float zoom,
                   const LensCoefficients& lens, bool wall, RemapTable* table) {
  const double cx = srcW * 0.5;
  const double cy = srcH * 0.5;
  if (!table->Create(srcW, srcH, outW, outH)) return;
  const double P = pan * kDegree;
  const double T = tilt * kDegree;
  const double f = 1.0 / std::tan(zoom * kDegree * 0.5);
  const double cosT = std::cos(T), sinT = std::sin(T);
  const double cosP = std::cos(P), sinP = std::sin(P);
  const double deskScale = srcW * 0.5;
  const double wallScale = srcW / 2;
  const float width = static_cast<float>(outW);
  for (int j = 0; j < outH; ++j) {
    const double v = static_cast<double>(static_cast<float>(2 * j) / width) - 1.0;
    const double Zc = f * cosT + v * sinT;
    const double Yc = f * sinT - v * cosT;
    for (int i = 0; i < outW; ++i) {
      const double u = static_cast<double>(static_cast<float>(2 * i) / width) - 1.0;
      double R, phi;
      if (!wall) {
        const double theta = kHalfPi - std::atan2(Yc, std::sqrt(u * u + Zc * Zc));
        R = EvalLensPolynomial(lens, theta) * deskScale;
        phi = P - std::atan2(u, Zc);
      } else {
        const double X = u * cosP - Zc * sinP;
        const double Z = Zc * cosP + u * sinP;
        const double theta = kHalfPi - std::atan2(Z, std::sqrt(X * X + Yc * Yc));
        R = EvalLensPolynomial(lens, theta) * wallScale;
        phi = std::atan2(-Yc, X);
      }
      table->Set(i, j, Floored(cx + R * std::cos(phi)), Floored(cy + R * std::sin(phi)));
    }
  }
}

TileSize PanoramaTableSize(int radius, int ratio, int span) {
  if (ratio < 1 || radius < 0) return {};
  const int outH = radius / ratio;
  const float k = static_cast<float>(span * kPi / 360);
  const double outW = static_cast<double>(static_cast<float>(outH) * k);
  if (!(outW > 0 && outW < kFarthest)) return {0, outH};
  return {static_cast<int>(outW), outH};
}

void BuildPanoramaTable(int srcW, int srcH, int ratio, int cx, int cy, int radius, int start, int span,
                        RemapTable* table) {
  const TileSize size = PanoramaTableSize(radius, ratio, span);
  if (!table->Create(srcW, srcH, size.width, size.height)) return;
  const float step = static_cast<float>(-(span * 6.2831854820251465 / 360 / size.width));
  const double a0 = start * 0.01745329238;
  const float height = static_cast<float>(size.height);
  // Rows run from the centre out to the lens circle's rim.
  const float rim = static_cast<float>(radius);
  for (int j = 0; j < size.height; ++j) {
    const float q = std::clamp(static_cast<float>(j / height), 0.0f, 1.0f);
    const float r = q * rim;
    for (int i = 0; i < size.width; ++i) {
      const float a = static_cast<float>(i * static_cast<double>(step) + a0);
      const float y = static_cast<float>(std::sin(a)) * r + static_cast<float>(cy);
      const float x = static_cast<float>(std::cos(a)) * r + static_cast<float>(cx);
      table->Set(i, j, Truncated(x), Truncated(y));
    }
  }
}

namespace {

struct WallBands {
  unsigned W, H, top, bottom;
};

WallBands WallBandsOf(int srcW, int srcH, int ratio, int cut) {
  if (ratio < 1 || srcW < 0 || srcH < 0) return {};
  const unsigned W = static_cast<unsigned>(srcW) / static_cast<unsigned>(ratio);
  const unsigned H = static_cast<unsigned>(srcH) / static_cast<unsigned>(ratio);
  if (cut > 2) {
    const unsigned c = static_cast<unsigned>(cut);
    return {W, H, H / c, (c - 1) * H / c};
  }
  return {W, H, 0, H};
}

}  // namespace

TileSize Wall180TableSize(int srcW, int srcH, int ratio, int cut) {
  const WallBands b = WallBandsOf(srcW, srcH, ratio, cut);
  return {static_cast<int>(b.W), static_cast<int>(b.bottom - b.top)};
}

void BuildWall180Table(int srcW, int srcH, int ratio, int cut, RemapTable* table) {
  const WallBands b = WallBandsOf(srcW, srcH, ratio, cut);
  if (!table->Create(srcW, srcH, static_cast<int>(b.W), static_cast<int>(b.bottom - b.top))) return;
  const unsigned half = static_cast<unsigned>(srcH) / 2;
  const float W = static_cast<float>(b.W);
  const float H = static_cast<float>(b.H);
  const float shift = (W - H) * 0.5f;
  for (unsigned r = b.top; r < b.bottom; ++r) {
    const float lat = static_cast<float>((r / H - 0.5) * kPi);
    const float cl = static_cast<float>(std::cos(lat));
    const float sl = static_cast<float>(std::sin(lat));
    for (unsigned i = 0; i < b.W; ++i) {
      const float lon = static_cast<float>((i / W - 0.5) * 2.8902652937335938);
      const float X = static_cast<float>(std::sin(lon) * cl);
      const float Z = static_cast<float>(std::cos(lon) * cl);
      const float phi = static_cast<float>(std::atan2(sl, X));
      const float rho = static_cast<float>(std::sqrt(X * X + sl * sl));
      const float theta = static_cast<float>(std::atan2(rho, Z));
      const float rr = static_cast<float>(theta * 2.0 * half / 3.1415927410125732);
      const float y = static_cast<float>(std::sin(phi)) * rr + static_cast<float>(half);
      const float x = static_cast<float>(std::cos(phi)) * rr + static_cast<float>(half) + shift;
      table->Set(static_cast<int>(i), static_cast<int>(r - b.top), Truncated(x), Truncated(y));
    }
  }
}
