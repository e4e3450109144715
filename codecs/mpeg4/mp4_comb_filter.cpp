#include "codecs/mpeg4/mp4_comb_filter.h"

void Mp4CombFilter(uint8_t* plane, ptrdiff_t stride, int width, int height) {
  for (int row = 1; row + 1 < height; row += 2) {
    const uint8_t* above = plane + (row - 1) * stride;
    const uint8_t* below = plane + (row + 1) * stride;
    uint8_t* line = plane + row * stride;
    for (int x = 0; x < width; ++x) {
      const int a = above[x], b = below[x], c = line[x];
      // 16-bit word arithmetic: products keep their low half, shifts are logical.
      const uint16_t teeth = uint16_t(uint16_t((a - c) * (b - c)) >> 2);
      const uint16_t edge = uint16_t((uint16_t((a - b) * (a - b)) >> 14) * 625);
      const int16_t d = int16_t(uint16_t(teeth - edge));
      if (d > 73) line[x] = uint8_t(a);
    }
  }
}
