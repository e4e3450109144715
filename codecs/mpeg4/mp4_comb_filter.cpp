#include "codecs/mpeg4/mp4_comb_filter.h"

#include <cstdint>

void Mp4CombFilter(uint8_t* plane, ptrdiff_t stride, int width, int height) {
  for (int row = 1; row + 1 < height; row += 2) {
    const uint8_t* above = plane + (row - 1) * stride;
    const uint8_t* below = plane + (row + 1) * stride;
    uint8_t* line = plane + row * stride;
    for (int x = 0; x < width; ++x) {
      const int a = above[x], b = below[x], c = line[x];
      // c outside the range of its neighbours makes the product positive; a
      // strong edge between the neighbours themselves counts against it.
      // Full-width arithmetic: in 16-bit words a ramp's negative product
      // would shift into a large positive one and count as a tooth.
      const int32_t teeth = ((a - c) * (b - c)) >> 2;
      const int32_t edge = (((a - b) * (a - b)) >> 14) * 625;
      if (teeth - edge > 73) line[x] = uint8_t(a);
    }
  }
}
