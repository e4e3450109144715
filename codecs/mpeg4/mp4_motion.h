#pragma once
// Motion-compensated prediction kernels: half-sample interpolation with
// rounding control, and the standard's quarter-sample filter (eight taps,
// mirrored at the block's edges).  Plain C++; each writes a w x h block.
#include <cstddef>
#include <cstdint>

// Copies the block at `src` displaced by half a sample right (halfX) and/or
// down (halfY); reads (w + halfX) x (h + halfY) samples.
void Mp4PredictHalf(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                    int halfX, int halfY, int rounding);

// Quarter-sample prediction of a w x h block (w, h at most 16) with the
// fractions fracX, fracY (0..3); reads (w + 1) x (h + 1) samples from `src`.
void Mp4PredictQuarter(uint8_t* dst, ptrdiff_t dstStride, const uint8_t* src, ptrdiff_t srcStride, int w, int h,
                       int fracX, int fracY, int rounding);

// Chroma vector component of a one-vector luma component (half-sample units
// in and out).
inline int Mp4ChromaFromLuma(int m) { return (m >> 1) | (m & 1); }
// Chroma vector component from the sum of four luma components.
int Mp4ChromaFromSum4(int sum);
