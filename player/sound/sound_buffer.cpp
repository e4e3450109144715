#include "player/sound/sound_buffer.h"

#include <algorithm>
#include <new>

CBuffer::CBuffer(int32_t capacity) {
  if (capacity <= 0) return;
  data_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(capacity)]());
  if (!data_) return;
  capacity_ = capacity;
  size_ = capacity;
}

void CBuffer::SetSize(int32_t size) { size_ = std::clamp(size, 0, capacity_); }
