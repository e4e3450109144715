#include "player/archive/record_scanner.h"

#include <cstring>

bool RecordScanner::ReadHeader(uint64_t position, uint8_t (&header)[VYX_HEADER_SIZE]) {
  const bool inBuffer = position >= bufferStart_ &&
                        position - bufferStart_ + VYX_HEADER_SIZE <= buffer_.size();
  if (!inBuffer) {
    const uint64_t stride = position - lastPosition_;
    const size_t want = (stride != 0 && stride <= kSmallRecord) ? kBlock : kSmallRead;
    buffer_.resize(want);
    buffer_.resize(file_.ReadAt(position, buffer_.data(), want));
    bufferStart_ = position;
    if (buffer_.size() < VYX_HEADER_SIZE) return false;
  }
  lastPosition_ = position;
  std::memcpy(header, buffer_.data() + (position - bufferStart_), VYX_HEADER_SIZE);
  return true;
}
