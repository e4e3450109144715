#pragma once
// Decoder kind DECODER_KIND_QX264: the program's own H.264 library
// (codecs/h264), its pictures' cropped windows converted to the output
// format.  One library decoder per open, sized for the opened picture.
#include "codecs/h264/avc_decoder.h"
#include "player/decode/decoder_kind.h"

class Qx264Kind : public DecoderKind {
 public:
  Qx264Kind() = default;
  ~Qx264Kind() override;
  Qx264Kind(const Qx264Kind&) = delete;
  Qx264Kind& operator=(const Qx264Kind&) = delete;

  // 1, or -1 when the library cannot be created for the size or there is
  // nothing to decode into.
  int32_t Open(const DecoderTarget& target) override;
  // 0 when a picture was written; -1 when the payload gave none (the
  // previous picture stays as it was).
  int32_t Decode(const uint8_t* source, int32_t length, size_t padding) override;
  // The library's result when it is an error; a payload that gave no
  // picture is pending, since the library does not say why.
  DecodeOutcome LastOutcome() const override;
  // The library returns every picture as it is decoded: nothing is held.
  int32_t Drain() override { return -1; }

 private:
  void Convert(const AvcDecPicture& picture);

  AvcDecContext* context_ = nullptr;
  DecoderTarget target_;
  int32_t lastResult_ = kAvcDecPicture;
};
