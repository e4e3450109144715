#pragma once
// The JPEG decoder's hot loops as one set of kernels.  The plain C++ set is
// the definition; a SIMD set must give the same bytes.
#include <cstddef>
#include <cstdint>

namespace jpeg {

struct JpegKernelSet {
  // The fast inverse DCT: 64 quantised coefficients in natural order times
  // the prescaled table (16-bit lanes, wrapping), AAN flow, rows written to
  // `out` with `stride` bytes between them.
  void (*fastIdct)(const int16_t* coefficients, const uint16_t* prescaled, uint8_t* out, ptrdiff_t stride);
  // One row of YCbCr to R, G, B, 0: `width` pixels; chroma sample x >> shift
  // serves pixel x (shift 1 replicates it over two pixels).
  void (*convertRow)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int32_t width, int32_t shift,
                     uint8_t* rgbx);
  // `width` pixels R, G, B, X to B, G, R over `bgrx`, whose X bytes stay as
  // they are.
  void (*storeBgr)(const uint8_t* rgbx, uint8_t* bgrx, int32_t width);
};

}  // namespace jpeg
