#pragma once
// Planar YUV 4:2:0 to the packed formats the display paths take.
//
// Arguments, for every converter: Y plane and its stride in bytes; U and V
// planes and their shared stride; destination; width in pixels; height,
// negative for the picture upside down (the first destination row shows the
// last source row); destination stride, in PIXELS for the three RGB
// converters and in BYTES for the two packed 4:2:2 converters.
//
// Chroma sample k of chroma row j serves pixels 2k and 2k+1 of rows 2j and
// 2j+1, so the chroma planes hold (width + 1) / 2 by (|height| + 1) / 2
// samples.  Every converter writes exactly width x |height| pixels and reads
// nothing outside those planes; any width from 1 up is converted in full.
//
// They run the fastest kernel set the processor has (pixel_kernels.h);
// yuv_scalar.h has the same converters written one pixel at a time, which
// define the bytes every set produces.
#include <cstdint>

// B, G, R per pixel.
void YuvToRgb24(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride);
// B, G, R, 0 per pixel.
void YuvToRgb32(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                uint8_t* dst, int width, int height, int dstStride);
// One little-endian word per pixel: red in bits 11-15, green 5-10, blue 0-4.
void YuvToRgb565(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                 uint8_t* dst, int width, int height, int dstStride);
// Y0, U, Y1, V per pixel pair.
void YuvToYuy2(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride);
// U, Y0, V, Y1 per pixel pair.
void YuvToUyvy(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
               uint8_t* dst, int width, int height, int dstStride);
