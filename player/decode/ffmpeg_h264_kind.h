#pragma once
// Decoder kind DECODER_KIND_H264: FFmpeg's H.264 decoder through the
// adapter of player/decode/h264_dec.h, its 8-bit 4:2:0 pictures converted to the
// output format.
#include "player/decode/conversion_bands.h"
#include "player/decode/decoder_kind.h"
#include "player/decode/h264_dec.h"

// The largest picture side FFmpeg may decode for a side of the opened
// (record header's) size: that side in whole macroblocks, plus one
// macroblock, so that 1088 coded lines under a 1080-line header still
// play.  Parameter sets that claim more cost no memory and give no picture.
int32_t H264PictureSideLimit(int32_t headerSide);

class FfmpegH264Kind : public DecoderKind {
 public:
  FfmpegH264Kind() = default;
  ~FfmpegH264Kind() override;
  FfmpegH264Kind(const FfmpegH264Kind&) = delete;
  FfmpegH264Kind& operator=(const FfmpegH264Kind&) = delete;

  // 1, or -1 when FFmpeg's decoder cannot be had or there is nothing to
  // decode into.
  int32_t Open(const DecoderTarget& target) override;
  // 0 when a picture was written; -1 when none came out of this payload.
  int32_t Decode(const uint8_t* source, int32_t length, size_t padding) override;
  // FFmpeg's AVERROR and its text when FFmpeg failed on the payload (a
  // refusal for a feature it lacks); pending when no picture came out yet.
  DecodeOutcome LastOutcome() const override;
  int32_t Drain() override;

 private:
  // Shows the picture and gives it back.
  void Take(H264DecPicture* picture);
  void Convert(const H264DecPicture& picture);

  H264DecHandle* handle_ = nullptr;
  DecoderTarget target_;
  ConversionBands bands_;
  bool draining_ = false;
  int lastFfmpegError_ = 0;
  bool lastGavePicture_ = false;
};
