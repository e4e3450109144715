#pragma once
// Decoder kind DECODER_KIND_MPEG4: the MPEG-4 Part 2 library of
// codecs/mpeg4, one decoder per opened picture size, each payload (the
// stream headers before it, if any, and one VOP) decoded straight into the
// destination in the output format.
#include "codecs/mpeg4/mp4_decoder.h"
#include "player/decode/decoder_kind.h"

// The stream values for layers that never send their VOL header: only the
// recorders' interlaced D1 sizes (720 or 704 by 480 or 576) are taken as
// interlaced.
Mp4VolDefaults Mpeg4VolDefaultsForSize(int32_t width, int32_t height);

class Mpeg4Kind : public DecoderKind {
 public:
  Mpeg4Kind() = default;
  ~Mpeg4Kind() override;
  Mpeg4Kind(const Mpeg4Kind&) = delete;
  Mpeg4Kind& operator=(const Mpeg4Kind&) = delete;

  // 1, or 0 when the library refuses the size or its memory cannot be had.
  int32_t Open(const DecoderTarget& target) override;
  // The library's result unchanged: 0 when a picture was written, 1 when a
  // VOP's macroblock data failed, 101-118 for headers it refuses.  The
  // library bounds every read by the length; the padding is not needed.
  int32_t Decode(const uint8_t* source, int32_t length, size_t padding) override;
  // B-VOPs are skipped; a predicted VOP without a decoded picture before it
  // is withheld; the library's other results are refusals or errors.
  DecodeOutcome LastOutcome() const override;
  // Nothing is held back: every picture comes out of its own payload.
  int32_t Drain() override { return -1; }

 private:
  void ShowPlanes() const;

  Mp4Decoder* decoder_ = nullptr;
  Mp4DecFrame frame_;
  int32_t lastResult_ = MP4DEC_OK;
  const DecodedPictureObserver* observer_ = nullptr;
};
