#pragma once
// The decoder's pixel kernels as a set chosen once at run time: the plain
// C++ set is the definition, the SSE2 set computes the same bytes faster.
#include <cstddef>
#include <cstdint>

struct Mp4Kernels {
  const char* name;
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

const Mp4Kernels& Mp4PlainKernels();
// Null where the processor lacks SSE2 or the build targets another one.
const Mp4Kernels* Mp4Sse2Kernels();
// The fastest set the processor runs; chosen on the first call.
const Mp4Kernels& Mp4SelectedKernels();
