#include "player/output/bmp_image.h"

#include <climits>

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kMinInfoSize = 40;

uint16_t U16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t U32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

int32_t I32(std::span<const uint8_t> b, size_t at) { return static_cast<int32_t>(U32(b, at)); }

}  // namespace

std::optional<BmpImageView> ParseBmp32(std::span<const uint8_t> block, int maxSide) {
  if (block.size() < kFileHeaderSize + kMinInfoSize) return std::nullopt;
  if (block[0] != 'B' || block[1] != 'M') return std::nullopt;
  const uint32_t dataOffset = U32(block, 10);
  const uint32_t infoSize = U32(block, 14);
  if (infoSize < kMinInfoSize || infoSize > block.size() - kFileHeaderSize) return std::nullopt;
  if (dataOffset < kFileHeaderSize + infoSize || dataOffset > block.size()) return std::nullopt;

  const int32_t width = I32(block, 18);
  const int32_t storedHeight = I32(block, 22);
  const uint16_t planes = U16(block, 26);
  const uint16_t bitCount = U16(block, 28);
  const uint32_t compression = U32(block, 30);
  if (planes != 1 || bitCount != 32 || compression != 0) return std::nullopt;
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN) return std::nullopt;
  const int32_t height = storedHeight < 0 ? -storedHeight : storedHeight;
  if (width > maxSide || height > maxSide) return std::nullopt;

  const uint64_t stride = static_cast<uint64_t>(width) * 4;
  if (stride * static_cast<uint64_t>(height) > block.size() - dataOffset) return std::nullopt;

  BmpImageView view;
  view.width = width;
  view.height = height;
  view.pixels = block.data() + dataOffset;
  view.stride = static_cast<size_t>(stride);
  view.topDown = storedHeight < 0;
  return view;
}
