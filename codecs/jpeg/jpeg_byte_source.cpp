#include "codecs/jpeg/jpeg_byte_source.h"

#include <cstring>

#include "codecs/jpeg/jpeg_errors.h"

namespace jpeg {

JpegByteSource::JpegByteSource(CJpegInputStream& stream) : stream_(stream), buffer_(kBlock) {}

bool JpegByteSource::Ensure(size_t count) {
  if (end_ - position_ >= count) return true;
  if (streamEnded_) return false;
  // Keep the unread tail, so a byte pair that straddles two blocks can be
  // looked at as one.
  const size_t kept = end_ - position_;
  std::memmove(buffer_.data(), buffer_.data() + position_, kept);
  position_ = 0;
  end_ = kept;
  while (end_ < kBlock && !streamEnded_) {
    bool eof = false;
    const int32_t got = stream_.Read(buffer_.data() + end_, static_cast<int32_t>(kBlock - end_), &eof);
    if (got < 0) Fail(kJpegReadError);
    end_ += static_cast<size_t>(got);
    // A stream that hands out nothing without saying so has ended as well.
    if (eof || got == 0) streamEnded_ = true;
  }
  return end_ - position_ >= count;
}

uint8_t JpegByteSource::Filler() {
  const uint8_t byte = fillerIsFF_ ? 0xFF : 0xD9;
  fillerIsFF_ = !fillerIsFF_;
  return byte;
}

uint8_t JpegByteSource::RawSlow() {
  if (Ensure(1)) return buffer_[position_++];
  return Filler();
}

uint8_t JpegByteSource::EntropySlow() {
  if (!Ensure(1)) return Filler();
  const uint8_t byte = buffer_[position_];
  if (byte != 0xFF) {
    ++position_;
    return byte;
  }
  // An FF that ends the stream, or starts a marker, stays where it is.
  if (!Ensure(2)) return 0xFF;
  if (buffer_[position_ + 1] == 0x00) position_ += 2;
  return 0xFF;
}

}  // namespace jpeg
