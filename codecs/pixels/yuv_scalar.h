#pragma once
// The YUV converters one pixel at a time: the statement of their arithmetic
// and packing, and the code that finishes the rows the vector loops leave.
// Arguments as in yuv_converters.h.
#include <cstdint>

namespace yuv_scalar {

void YuvToRgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride);
void YuvToRgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride);
void YuvToRgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                 uint8_t* dst, int width, int height, int dstStride);
void YuvToYuy2(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride);
void YuvToUyvy(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride);

// One destination row from pixel `from` (even) up to `width`; y, u and v
// point at the start of the row's Y row and chroma row, dst at the start of
// the destination row.
void Rgb24Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width);
void Rgb32Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width);
void Rgb565Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width);
void Yuy2Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width);
void UyvyRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int from, int width);

}  // namespace yuv_scalar
