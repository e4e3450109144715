#include "player/decode/qx264_kind.h"

#include <algorithm>

#include "codecs/h264/error_codes.h"
#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"

Qx264Kind::~Qx264Kind() { AvcDecDestroy(context_); }

int32_t Qx264Kind::Open(const DecoderTarget& target) {
  AvcDecDestroy(context_);
  context_ = nullptr;
  target_ = target;
  if (!target.destination || target.width <= 0 || target.height <= 0) return -1;
  AvcDecParams params;
  // Rounded up: 1080 lines are 68 rows of macroblocks.
  params.widthInMbs = static_cast<uint32_t>((target.width + 15) / 16);
  params.heightInMbs = static_cast<uint32_t>((target.height + 15) / 16);
  params.maxRefFrames = 16;
  params.flags = kAvcDecBumping;
  if (target.options && target.options->ownH264Deinterlace) params.flags |= kAvcDecDeinterlace;
  context_ = AvcDecCreate(&params);
  if (!context_) return -1;
  return 1;
}

int32_t Qx264Kind::Decode(const uint8_t* source, int32_t length, size_t) {
  lastResult_ = kAvcDecBadArgument;
  if (!context_) return -1;
  AvcDecPicture picture;
  lastResult_ = AvcDecDecode(context_, source, length, 0, 0, &picture, nullptr);
  if (lastResult_ != kAvcDecPicture) return -1;
  Convert(picture);
  return 0;
}

DecodeOutcome Qx264Kind::LastOutcome() const {
  switch (lastResult_) {
    case kAvcDecPicture: return DecodeOutcome::Picture();
    case kAvcDecNoPicture: {
      // Nothing abandoned or withheld: the picture is held for output order.
      const uint32_t code = AvcDecLastRefusal(context_);
      if (code == 0) return DecodeOutcome::Pending();
      const auto verdict = code == avc::kPictureWithheld ? DecodeOutcome::Verdict::kWithheld
                           : avc::IsUnsupported(code)    ? DecodeOutcome::Verdict::kRefused
                                                         : DecodeOutcome::Verdict::kError;
      return {verdict, code, DecodeOutcome::CodeStyle::kHex, avc::DescribeRefusal(code)};
    }
    default:
      return {DecodeOutcome::Verdict::kError, lastResult_, DecodeOutcome::CodeStyle::kHex, "bad argument"};
  }
}

// The picture's cropped window, never more than the opened size: a smaller
// sequence is drawn from the corner, a larger one cut.  A field is shown as
// the frame that holds it, both fields interleaved.
void Qx264Kind::Convert(const AvcDecPicture& p) {
  const int32_t visibleWidth = p.width - p.cropLeft - p.cropRight;
  const int32_t visibleHeight = p.height * (p.fieldPicture ? 2 : 1) - p.cropTop - p.cropBottom;
  const uint8_t* y = p.y + p.cropTop * p.lumaStride + p.cropLeft;
  const uint8_t* u = p.cb + (p.cropTop / 2) * p.chromaStride + p.cropLeft / 2;
  const uint8_t* v = p.cr + (p.cropTop / 2) * p.chromaStride + p.cropLeft / 2;
  if (target_.observer && *target_.observer) {
    (*target_.observer)({y, u, v, p.lumaStride, p.chromaStride, p.chromaStride, visibleWidth, visibleHeight});
  }
  const int32_t width = std::min(visibleWidth, target_.width);
  const int32_t height = std::min(visibleHeight, target_.height);
  uint8_t* const to = target_.destination;
  switch (target_.format) {
    case OUTPUT_FORMAT_YUV422:
      YuvToYuy2(y, p.lumaStride, u, v, p.chromaStride, to, width, height, 2 * target_.width);
      break;
    case OUTPUT_FORMAT_RGB24:
      YuvToRgb24(y, p.lumaStride, u, v, p.chromaStride, to, width, height, target_.width);
      break;
    case OUTPUT_FORMAT_RGB16:
      YuvToRgb565(y, p.lumaStride, u, v, p.chromaStride, to, width, height, target_.width);
      break;
    case OUTPUT_FORMAT_RGB32_FLIP:
      YuvToRgb32(y, p.lumaStride, u, v, p.chromaStride, to, width, -height, target_.width);
      break;
    default:
      YuvToRgb32(y, p.lumaStride, u, v, p.chromaStride, to, width, height, target_.width);
      break;
  }
}
