#pragma once
// One set of the MPEG-4 decoder's pixel kernels.  Plain types only, so that
// the file built for SSE2 can fill one without instantiating anything
// shared.
#include <cstddef>
#include <cstdint>

struct Mp4Kernels {
  // Inverse DCT of 64 coefficients in raster order, in place.
  void (*idct)(int16_t block[64]);
  // Writes (put) or adds (add) an 8 x 8 block of samples with saturation
  // to 0..255.
  void (*putBlock)(const int16_t block[64], uint8_t* dst, ptrdiff_t stride);
  void (*addBlock)(const int16_t block[64], uint8_t* dst, ptrdiff_t stride);
  // Half-sample prediction of a w x h block, w 8 or 16 (Mp4PredictHalf).
  void (*predictHalf)(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                      int halfX, int halfY, int rounding);
  // Quarter-sample prediction of a w x h block, w and h 8 or 16
  // (Mp4PredictQuarter).
  void (*predictQuarter)(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                         int fracX, int fracY, int rounding);
};
