#include "codecs/pixels/yuv_scalar.h"

#include "codecs/pixels/yuv_pixel.h"
#include "codecs/pixels/yuv_rows.h"

namespace yuv_scalar {
using namespace yuv_detail;

void Rgb24Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width) {
  for (int x = from; x < width; ++x) {
    const Bgr p = PixelOf(y[x], TermsOf(u[x / 2], v[x / 2]));
    dst[3 * x] = p.b;
    dst[3 * x + 1] = p.g;
    dst[3 * x + 2] = p.r;
  }
}

void Rgb32Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width) {
  for (int x = from; x < width; ++x) {
    const Bgr p = PixelOf(y[x], TermsOf(u[x / 2], v[x / 2]));
    dst[4 * x] = p.b;
    dst[4 * x + 1] = p.g;
    dst[4 * x + 2] = p.r;
    dst[4 * x + 3] = 0;
  }
}

void Rgb565Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width) {
  for (int x = from; x < width; ++x) {
    const Bgr p = PixelOf(y[x], TermsOf(u[x / 2], v[x / 2]));
    const unsigned word = ((p.r & 0xF8u) << 8) | ((p.g & 0xFCu) << 3) | (p.b >> 3);
    dst[2 * x] = static_cast<uint8_t>(word);
    dst[2 * x + 1] = static_cast<uint8_t>(word >> 8);
  }
}

// An odd width ends with a lone pixel: it gets its Y and U, the two bytes
// that belong to it, and nothing past the row.
void Yuy2Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width) {
  for (int x = from; x < width; x += 2) {
    dst[2 * x] = y[x];
    dst[2 * x + 1] = u[x / 2];
    if (x + 1 == width) break;
    dst[2 * x + 2] = y[x + 1];
    dst[2 * x + 3] = v[x / 2];
  }
}

void UyvyRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width) {
  for (int x = from; x < width; x += 2) {
    dst[2 * x] = u[x / 2];
    dst[2 * x + 1] = y[x];
    if (x + 1 == width) break;
    dst[2 * x + 2] = v[x / 2];
    dst[2 * x + 3] = y[x + 1];
  }
}

namespace {

template <void (*Row)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int)>
void Convert(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
             int width, int height, std::ptrdiff_t dstRowBytes) {
  ForEachRowPair(y, yStride, u, v, uvStride, dst, width, height, dstRowBytes,
                 [](const uint8_t* y0, const uint8_t* y1, const uint8_t* ur, const uint8_t* vr, uint8_t* out0,
                    uint8_t* out1, int w) {
                   Row(y0, ur, vr, out0, 0, w);
                   if (y1) Row(y1, ur, vr, out1, 0, w);
                 });
}

}  // namespace

void YuvToRgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride) {
  Convert<Rgb24Row>(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 3);
}

void YuvToRgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride) {
  Convert<Rgb32Row>(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 4);
}

void YuvToRgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                 uint8_t* dst, int width, int height, int dstStride) {
  Convert<Rgb565Row>(y, yStride, u, v, uvStride, dst, width, height, std::ptrdiff_t{dstStride} * 2);
}

void YuvToYuy2(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride) {
  Convert<Yuy2Row>(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

void YuvToUyvy(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride) {
  Convert<UyvyRow>(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

}  // namespace yuv_scalar
