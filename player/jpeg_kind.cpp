#include "player/jpeg_kind.h"

#include "codecs/mpeg4/output_formats.h"

int32_t JpegKind::Open(const DecoderTarget& target) {
  target_ = target;
  const bool accurate = target.options != nullptr && target.options->jpegAccurate;
  image_ = std::make_unique<CJpegImage>(!accurate);
  return 1;
}

int32_t JpegKind::Decode(const uint8_t* source, int32_t length, size_t) {
  if (!image_ || target_.destination == nullptr || target_.width <= 0 || target_.height <= 0) return -1;
  // The picture comes out as 32-bit pixels only; a display set-up of
  // another depth, or an overlay, has a smaller destination.
  if (target_.format != OUTPUT_FORMAT_RGB32 && target_.format != OUTPUT_FORMAT_RGB32_FLIP) return -1;
  const uint64_t size = static_cast<uint64_t>(target_.width) * static_cast<uint64_t>(target_.height) * 4;
  if (size > UINT32_MAX) return -1;
  const uint32_t started =
      image_->DecodeToBgrx(source, length, target_.destination, static_cast<uint32_t>(size), target_.width);
  return started != 0 ? 0 : -1;
}
