#include "player/output/snapshot_bmp.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool IsLineDoubledSize(int width, int height) {
  return (width == 704 || width == 720) && (height == 240 || height == 288);
}

std::vector<uint8_t> MakeSnapshotBmp(int width, int height, const uint8_t* pixels) {
  const int repeat = IsLineDoubledSize(width, height) ? 2 : 1;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const int rows = height * repeat;
  const size_t dataBytes = rowBytes * static_cast<size_t>(rows);
  constexpr size_t kHeader = 54;
  std::vector<uint8_t> image(kHeader + dataBytes);
  uint8_t* h = image.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<uint32_t>(image.size()));
  Put32(h + 10, kHeader);
  Put32(h + 14, 40);
  Put32(h + 18, static_cast<uint32_t>(width));
  Put32(h + 22, static_cast<uint32_t>(-rows));  // negative: top-down
  Put16(h + 26, 1);
  Put16(h + 28, 32);
  Put32(h + 34, static_cast<uint32_t>(dataBytes));
  uint8_t* out = h + kHeader;
  for (int y = 0; y < height; ++y) {
    for (int r = 0; r < repeat; ++r, out += rowBytes)
      std::memcpy(out, pixels + static_cast<size_t>(y) * rowBytes, rowBytes);
  }
  return image;
}
