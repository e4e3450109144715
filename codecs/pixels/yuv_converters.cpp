// The public converters run the kernel set chosen for this processor.
#include "codecs/pixels/yuv_converters.h"

#include "codecs/pixels/pixel_kernels.h"

void YuvToRgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride) {
  pixel_kernels::Active().rgb24(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

void YuvToRgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride) {
  pixel_kernels::Active().rgb32(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

void YuvToRgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                 uint8_t* dst, int width, int height, int dstStride) {
  pixel_kernels::Active().rgb565(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

void YuvToYuy2(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride) {
  pixel_kernels::Active().yuy2(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}

void YuvToUyvy(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride) {
  pixel_kernels::Active().uyvy(y, yStride, u, v, uvStride, dst, width, height, dstStride);
}
