#pragma once
// The one object through which the video output decodes a video payload
// into a picture for the renderer.  Open for a decoder kind and picture
// size, Decode once per frame, Close when the kind or size changes.  Each
// kind is an object of its own (player/decode/decoder_kind.h) made from the table
// in player/decode/decoder_kinds.h.  Not safe for concurrent calls (the video
// output calls it under its decode lock).
//
// The buffers belong to the caller: the source holds each payload, the
// destination the whole picture at the opened size in the output format
// (width x height pixels, no padding between rows, top-down).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "player/decode/decode_options.h"
#include "player/decode/decoder_kind.h"
#include "player/decode/decoder_kinds.h"

// The output format of a display set-up: packed 4:2:2 through an overlay,
// else RGB of the surface's depth.  The front and the renderer are set up
// from the same pair, so this is where a picture's format is decided.
int32_t OutputFormatForDisplay(int32_t depth, int32_t overlay);

class CQxVDecode {
 public:
  CQxVDecode() = default;
  virtual ~CQxVDecode();
  CQxVDecode(const CQxVDecode&) = delete;
  CQxVDecode& operator=(const CQxVDecode&) = delete;

  // The display set-up, before Open: bits per pixel of the surface and
  // whether pictures go through a packed 4:2:2 overlay.
  void SetOutputFormat(int32_t depth, int32_t overlay);
  // Taken by the next Open.
  void SetDecodeOptions(const VideoDecodeOptions& options) { options_ = options; }

  // 1 when the kind's decoder opened; else the kind's failure value: 0
  // for MPEG-4 (the library refuses the size or its memory cannot be had),
  // -1 for the others (or there is nothing to decode into).  A kind whose
  // decoder is not built, and any other kind: -1.  A path still open is closed first.  The output format comes
  // from the display set-up; `format` is accepted for the callers that
  // name one and not used.
  int32_t Open(uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t kind,
               int32_t format);
  // Decodes `length` source bytes: 0 when a picture was written, else the
  // kind's error: -1 when H.264 gave no picture for this frame or no path is
  // open; for MPEG-4 the library's result code (1, 101-118).
  int32_t Decode(int32_t length);
  // What the last Decode came to, as the open kind tells it; an error
  // when no path is open.
  DecodeOutcome LastOutcome() const;
  // At the end of an archive: 0 when one more picture the decoder still
  // held was written, -1 when none is left.  Decoding then goes on from
  // the next key frame.
  int32_t Drain();
  // Closes whatever is open; harmless when nothing is.
  void Close();
  // A new source buffer for the open path, for a caller whose payloads
  // outgrow the one it opened with.
  void SetSource(uint8_t* source) { source_ = source; }
  // Zero bytes the caller keeps behind every payload in the source; a kind
  // that needs such room then reads the payload where it lies.
  void SetSourcePadding(size_t bytes) { sourcePadding_ = bytes; }

  int32_t GetKind() const { return kind_; }
  int32_t GetOutputFormat() const { return format_; }

  using PictureObserver = DecodedPictureObserver;
  void SetPictureObserver(PictureObserver observer) { observer_ = std::move(observer); }

 private:
  int32_t depth_ = 32;
  int32_t overlay_ = 0;
  int32_t kind_ = DECODER_KIND_MPEG4;
  int32_t format_ = 5;  // OUTPUT_FORMAT_YUV422
  VideoDecodeOptions options_;
  std::unique_ptr<DecoderKind> decoder_;
  uint8_t* source_ = nullptr;
  size_t sourcePadding_ = 0;
  PictureObserver observer_;
};
