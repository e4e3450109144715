#include "codecs/jpeg/jpeg_input_stream.h"

#include <algorithm>
#include <cstring>

void CJpegMemoryStream::Reset(const uint8_t* data, int32_t size) {
  data_ = data;
  size_ = std::max<int32_t>(size, 0);
  position_ = 0;
}

int32_t CJpegMemoryStream::Read(uint8_t* buffer, int32_t max, bool* eof) {
  if (buffer == nullptr || data_ == nullptr) return -1;
  if (max < 0) max = 0;
  const int32_t left = size_ - position_;
  const int32_t n = std::min(max, left);
  if (n > 0) std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  if (n < max && eof != nullptr) *eof = true;
  return n;
}
