#pragma once
// The decoder's input layer: bytes come from the stream in blocks of 4096.
// Header bytes are read as they stand ("raw"); entropy-coded bytes undo the
// FF 00 stuffing and stop in front of a marker, feeding 1-bits until the
// marker is dealt with.  Past the end of the stream both readers see the
// bytes FF D9 repeated, so a truncated picture always runs into an end of
// image instead of waiting for more input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/jpeg/jpeg_input_stream.h"

namespace jpeg {

class JpegByteSource {
 public:
  explicit JpegByteSource(CJpegInputStream& stream);

  uint8_t Raw() {
    if (position_ < end_) return buffer_[position_++];
    return RawSlow();
  }
  uint16_t Raw16() {
    const uint16_t high = Raw();
    return static_cast<uint16_t>((high << 8) | Raw());
  }

  uint8_t Entropy() {
    if (position_ < end_ && buffer_[position_] != 0xFF) return buffer_[position_++];
    return EntropySlow();
  }

 private:
  // Tries to hold `count` bytes ahead of the position; false at the end.
  bool Ensure(size_t count);
  uint8_t RawSlow();
  uint8_t EntropySlow();
  uint8_t Filler();

  static constexpr size_t kBlock = 4096;
  CJpegInputStream& stream_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t end_ = 0;
  bool streamEnded_ = false;
  bool fillerIsFF_ = true;
};

}  // namespace jpeg
