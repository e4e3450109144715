#include "dewarp/remap_table.h"

#include <new>

bool RemapTable::Create(int sourceWidth, int sourceHeight, int width, int height) {
  Free();
  if (width <= 0 || height <= 0 || sourceWidth < 0 || sourceHeight < 0) return false;
  const size_t entries = static_cast<size_t>(width) * static_cast<size_t>(height);
  // Source indices are 32-bit.
  if (static_cast<uint64_t>(sourceWidth) * static_cast<uint64_t>(sourceHeight) >= kOutside) return false;
  try {
    points_.assign(entries, SourcePoint{-1, -1});
    index_.assign(entries, kOutside);
  } catch (const std::bad_alloc&) {
    Free();
    return false;
  }
  width_ = width;
  height_ = height;
  sourceWidth_ = sourceWidth;
  sourceHeight_ = sourceHeight;
  valid_ = true;
  return true;
}

void RemapTable::Free() {
  std::vector<SourcePoint>().swap(points_);
  std::vector<uint32_t>().swap(index_);
  valid_ = false;
  width_ = height_ = 0;
  sourceWidth_ = sourceHeight_ = 0;
}

void RemapTable::Size(int* width, int* height) const {
  if (!valid_) return;
  *width = width_;
  *height = height_;
}

bool RemapTable::Set(int x, int y, int32_t sourceX, int32_t sourceY) {
  if (!valid_ || x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  points_[at] = {sourceX, sourceY};
  const bool inside = sourceX >= 0 && sourceY >= 0 && sourceX < sourceWidth_ && sourceY < sourceHeight_;
  index_[at] = inside ? static_cast<uint32_t>(sourceY) * static_cast<uint32_t>(sourceWidth_) +
                            static_cast<uint32_t>(sourceX)
                      : kOutside;
  return true;
}

bool RemapTable::Get(int x, int y, SourcePoint* point) const {
  if (!valid_ || x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  *point = points_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return true;
}

size_t RemapTable::Render(const uint32_t* src, int srcW, int srcH, uint32_t* dst, size_t dstPixels,
                          bool rotated) const {
  const size_t entries = index_.size();
  if (!valid_ || srcW != sourceWidth_ || srcH != sourceHeight_ || dstPixels < entries) return 0;
  const uint32_t* index = index_.data();
  if (rotated) {
    for (size_t i = 0; i < entries; ++i) {
      const uint32_t at = index[entries - 1 - i];
      dst[i] = at == kOutside ? 0u : src[at];
    }
  } else {
    for (size_t i = 0; i < entries; ++i) {
      const uint32_t at = index[i];
      dst[i] = at == kOutside ? 0u : src[at];
    }
  }
  return entries * 4;
}
