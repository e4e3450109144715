#include "codecs/mpeg4/mp4_output.h"

#include <cstring>

#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"

namespace {

void CopyPlane(const uint8_t* src, ptrdiff_t stride, int width, int height, uint8_t*& dst) {
  for (int row = 0; row < height; ++row, dst += width) std::memcpy(dst, src + row * stride, size_t(width));
}

using Converter = void (*)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);

}  // namespace

void WriteMp4Output(const Mp4DecPicture& p, int32_t format, int32_t stride, uint8_t* output) {
  if (output == nullptr) return;
  const int w = int(p.width), h = int(p.height);
  if (format == OUTPUT_FORMAT_I420) {
    uint8_t* dst = output;
    CopyPlane(p.y, p.yStride, w, h, dst);
    CopyPlane(p.u, p.uvStride, (w + 1) / 2, (h + 1) / 2, dst);
    CopyPlane(p.v, p.uvStride, (w + 1) / 2, (h + 1) / 2, dst);
    return;
  }
  Converter convert = nullptr;
  bool bytesStride = false;
  const bool flip = format >= OUTPUT_FORMAT_RGB24_FLIP && format <= OUTPUT_FORMAT_RGB16_FLIP;
  switch (flip ? format - (OUTPUT_FORMAT_RGB24_FLIP - OUTPUT_FORMAT_RGB24) : format) {
    case OUTPUT_FORMAT_RGB24: convert = YuvToRgb24; break;
    case OUTPUT_FORMAT_RGB32: convert = YuvToRgb32; break;
    case OUTPUT_FORMAT_YUV422: convert = YuvToYuy2; bytesStride = true; break;
    case OUTPUT_FORMAT_UYVY: convert = YuvToUyvy; bytesStride = true; break;
    case OUTPUT_FORMAT_RGB16: convert = YuvToRgb565; break;
    default: return;
  }
  convert(p.y, int(p.yStride), p.u, p.v, int(p.uvStride), output, w, flip ? -h : h,
          bytesStride ? stride * 2 : stride);
}
