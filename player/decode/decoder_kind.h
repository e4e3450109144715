#pragma once
// One decoder kind behind the decoder front: opened for a picture size,
// decodes one payload at a time into the destination, closed by its
// destruction.  The front picks the kind from the table in
// player/decode/decoder_kinds.h; a new kind is one file and one row there.
#include <cstddef>
#include <cstdint>

#include "player/decode/decode_options.h"
#include "player/decode/decode_outcome.h"
#include "player/decode/decoded_planes.h"

// Where and how a kind writes its pictures: the whole picture at the opened
// size in the output format, rows unpadded, top-down.
struct DecoderTarget {
  uint8_t* destination = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t format = 0;  // OUTPUT_FORMAT_*, from the display set-up
  const VideoDecodeOptions* options = nullptr;
  const DecodedPictureObserver* observer = nullptr;  // null or empty: nobody looks
};

class DecoderKind {
 public:
  virtual ~DecoderKind() = default;
  // 1 when open, else the kind's failure value (the front's Open result).
  virtual int32_t Open(const DecoderTarget& target) = 0;
  // Decodes `length` bytes of `source`, which has `padding` zero bytes
  // behind them: 0 when a picture was written, else the kind's error.
  virtual int32_t Decode(const uint8_t* source, int32_t length, size_t padding) = 0;
  // What the last Decode came to, in the codec's own terms: the picture, or
  // why there is none.
  virtual DecodeOutcome LastOutcome() const = 0;
  // At the end of an archive: writes one more picture the decoder still
  // holds (0), or -1 when none is left; the kind then needs a key frame.
  virtual int32_t Drain() = 0;
};
