#pragma once
// Where a streamed wave output sends its PCM: a sound server's stream, or
// nowhere at the real-time rate.
#include <cstddef>
#include <cstdint>

namespace platform {

class PcmSink {
 public:
  virtual ~PcmSink() = default;
  // Takes the bytes and returns about when they have been played, so that
  // a caller feeding one piece after another advances at the real-time
  // rate.  False when the sink failed; the bytes are lost.
  virtual bool Play(const uint8_t* data, size_t bytes) = 0;
  // Drops what was taken and not played yet.
  virtual void Discard() = 0;
  // Every buffer written has been played: the device has nothing to play
  // until the next write.
  virtual void RanDry() {}
};

}  // namespace platform
