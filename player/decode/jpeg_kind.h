#pragma once
// Decoder kind DECODER_KIND_JPEG: each payload is one whole JPEG picture,
// decoded by CJpegImage into 32-bit B, G, R, X rows top-down, whatever
// output format the front passes.  Nothing is held between pictures.
#include <memory>

#include "codecs/jpeg/jpeg_image.h"
#include "player/decode/decoder_kind.h"

class JpegKind : public DecoderKind {
 public:
  JpegKind() = default;

  // Always 1: there is no decoder state to make.
  int32_t Open(const DecoderTarget& target) override;
  // 0 once the picture was started (rows written), -1 when it was refused
  // or the display's output format is not 32-bit (nothing written).
  int32_t Decode(const uint8_t* source, int32_t length, size_t padding) override;
  // The decoder's negative code when it wrote nothing, a refusal or an
  // error by what it means; -1 when the display cannot take its pictures.
  DecodeOutcome LastOutcome() const override { return last_; }
  // Holds nothing: -1.
  int32_t Drain() override { return -1; }

 private:
  DecoderTarget target_;
  std::unique_ptr<CJpegImage> image_;
  DecodeOutcome last_;
};
