#pragma once
// One kernel set: the converters and the row copy for one instruction set.
// Plain types only, so that the files built for wider instruction sets can
// include it without instantiating anything shared.
#include <cstddef>
#include <cstdint>

namespace pixel_kernels {

// Arguments as in yuv_converters.h.
using Converter = void (*)(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride,
                           uint8_t* dst, int width, int height, int dstStride);
// `pixels` 32-bit pixels from `from` to `to` with `bits` OR-ed into each.
using Rgb32RowCopy = void (*)(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits);

struct KernelSet {
  Converter rgb24, rgb32, rgb565, yuy2, uyvy;
  Rgb32RowCopy rgb32RowSettingBits;
};

}  // namespace pixel_kernels
