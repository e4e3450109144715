#pragma once
// Reads the in-memory 32-bit BMP file images that snapshots are made from:
// a 14-byte file header, an information header of at least 40 bytes and
// uncompressed rows of B, G, R, X pixels (top-down when the height is
// negative).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct BmpImageView {
  int width = 0;
  int height = 0;
  const uint8_t* pixels = nullptr;  // the rows as stored
  size_t stride = 0;
  bool topDown = true;

  // Row 0 is the top row whichever way the file stores them.
  const uint8_t* Row(int y) const {
    const int stored = topDown ? y : height - 1 - y;
    return pixels + static_cast<size_t>(stored) * stride;
  }
};

// nullopt unless the block holds a complete image of that kind, every
// pixel byte inside it, no larger than maxSide either way.
std::optional<BmpImageView> ParseBmp32(std::span<const uint8_t> block, int maxSide);
