#include "player/decode/ffmpeg_h264_kind.h"

#include <algorithm>

extern "C" {
#include <libavutil/error.h>
}

#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"

FfmpegH264Kind::~FfmpegH264Kind() { H264Dec_Close(handle_); }

int32_t H264PictureSideLimit(int32_t headerSide) { return (headerSide + 15) / 16 * 16 + 16; }

int32_t FfmpegH264Kind::Open(const DecoderTarget& target) {
  target_ = target;
  if (!target.destination || target.width <= 0 || target.height <= 0) return -1;
  bands_.Start(ConversionThreadsFor(target.width, target.height, std::thread::hardware_concurrency()));
  const int threads = target.options ? target.options->h264Threads : 0;
  return H264Dec_OpenBounded(&handle_, threads, H264PictureSideLimit(target.width),
                             H264PictureSideLimit(target.height)) == 0
             ? 1
             : -1;
}

int32_t FfmpegH264Kind::Decode(const uint8_t* source, int32_t length, size_t padding) {
  int32_t used = 0;
  if (padding >= static_cast<size_t>(kH264DecInputPadding)) {
    H264Dec_DecodePadded(handle_, source, length, &used);
  } else {
    H264Dec_Decode(handle_, source, length, &used);
  }
  lastFfmpegError_ = H264Dec_LastFfmpegError(handle_);
  H264Dec_Decode(handle_, source, 0, &used);
  if (lastFfmpegError_ == 0) lastFfmpegError_ = H264Dec_LastFfmpegError(handle_);
  lastGavePicture_ = false;
  // Several pictures may come out of one input: show the newest, give all
  // back, so that none piles up.
  H264DecPicture* newest = nullptr;
  H264DecPicture* picture = nullptr;
  while (H264Dec_GetPicture(handle_, &picture) == 0 && picture) {
    if (newest) H264Dec_ReleasePicture(handle_, newest);
    newest = picture;
  }
  if (!newest) return -1;
  Take(newest);
  lastGavePicture_ = true;
  return 0;
}

DecodeOutcome FfmpegH264Kind::LastOutcome() const {
  if (lastGavePicture_) return DecodeOutcome::Picture();
  if (lastFfmpegError_ == 0) return DecodeOutcome::Pending();
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(lastFfmpegError_, text, sizeof text);
  const DecodeOutcome::Verdict verdict = lastFfmpegError_ == AVERROR_PATCHWELCOME ? DecodeOutcome::Verdict::kRefused
                                                                                  : DecodeOutcome::Verdict::kError;
  return {verdict, lastFfmpegError_, DecodeOutcome::CodeStyle::kDecimal, text};
}

// Every held picture is shown, one per call: the last of them is the
// archive's last picture.
int32_t FfmpegH264Kind::Drain() {
  if (!draining_) {
    draining_ = true;
    H264Dec_Drain(handle_);
  }
  H264DecPicture* picture = nullptr;
  if (H264Dec_GetPicture(handle_, &picture) != 0 || !picture) {
    draining_ = false;
    return -1;
  }
  Take(picture);
  return 0;
}

void FfmpegH264Kind::Take(H264DecPicture* picture) {
  if (target_.observer && *target_.observer) {
    const H264DecPicture& p = *picture;
    (*target_.observer)({p.y, p.u, p.v, p.yStride, p.uStride, p.vStride, p.width, p.height});
  }
  Convert(*picture);
  H264Dec_ReleasePicture(handle_, picture);
}

// Never more than the opened size: a stream that declares a bigger picture
// than its archive must not write past the destination.
void FfmpegH264Kind::Convert(const H264DecPicture& p) {
  const int32_t width = std::min(p.width, target_.width);
  const int32_t height = std::min(p.height, target_.height);
  uint8_t* const to = target_.destination;
  switch (target_.format) {
    case OUTPUT_FORMAT_YUV422:
      bands_.Convert(kToYuy2, p.y, p.yStride, p.u, p.v, p.uStride, to, width, height, 2 * target_.width);
      break;
    case OUTPUT_FORMAT_RGB24:
      bands_.Convert(kToRgb24, p.y, p.yStride, p.u, p.v, p.uStride, to, width, height, target_.width);
      break;
    case OUTPUT_FORMAT_RGB16:
      bands_.Convert(kToRgb565, p.y, p.yStride, p.u, p.v, p.uStride, to, width, height, target_.width);
      break;
    default:
      bands_.Convert(kToRgb32, p.y, p.yStride, p.u, p.v, p.uStride, to, width, height, target_.width);
      break;
  }
}
