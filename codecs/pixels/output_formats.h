#pragma once
// Output format codes shared by the decoders and the display paths.  32-bit
// pixels are the bytes B, G, R, 0 in memory; the _FLIP codes write the same
// pictures bottom-up.
#include <cstdint>

enum : int32_t {
  OUTPUT_FORMAT_I420 = 1,    // planar Y, U, V without padding
  OUTPUT_FORMAT_RGB24 = 3,
  OUTPUT_FORMAT_RGB32 = 4,
  OUTPUT_FORMAT_YUV422 = 5,  // packed Y0 U Y1 V
  OUTPUT_FORMAT_UYVY = 6,
  OUTPUT_FORMAT_RGB16 = 7,   // 5-6-5
  OUTPUT_FORMAT_RGB24_FLIP = 8,
  OUTPUT_FORMAT_RGB32_FLIP = 9,
  OUTPUT_FORMAT_YUV422_FLIP = 10,
  OUTPUT_FORMAT_UYVY_FLIP = 11,
  OUTPUT_FORMAT_RGB16_FLIP = 12,
};
