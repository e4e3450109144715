#include "player/decode/jpeg_kind.h"

#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/pixels/output_formats.h"

namespace {

DecodeOutcome NotStarted(int32_t code, const char* meaning) {
  const DecodeOutcome::Verdict verdict =
      code == -1 || jpeg::IsRefusal(code) ? DecodeOutcome::Verdict::kRefused : DecodeOutcome::Verdict::kError;
  return {verdict, code, DecodeOutcome::CodeStyle::kDecimal, meaning};
}

}  // namespace

int32_t JpegKind::Open(const DecoderTarget& target) {
  target_ = target;
  const bool accurate = target.options != nullptr && target.options->jpegAccurate;
  image_ = std::make_unique<CJpegImage>(!accurate);
  return 1;
}

int32_t JpegKind::Decode(const uint8_t* source, int32_t length, size_t) {
  // The picture comes out as 32-bit pixels only; a display set-up of
  // another depth, or an overlay, has a smaller destination.
  const uint64_t size = static_cast<uint64_t>(target_.width) * static_cast<uint64_t>(target_.height) * 4;
  if (!image_ || target_.destination == nullptr || target_.width <= 0 || target_.height <= 0 ||
      (target_.format != OUTPUT_FORMAT_RGB32 && target_.format != OUTPUT_FORMAT_RGB32_FLIP) || size > UINT32_MAX) {
    last_ = NotStarted(-1, "display set-up without 32-bit pixels");
    return -1;
  }
  const uint32_t started =
      image_->DecodeToBgrx(source, length, target_.destination, static_cast<uint32_t>(size), target_.width);
  if (started != 0) {
    last_ = DecodeOutcome::Picture();
    return 0;
  }
  last_ = NotStarted(image_->LastError(), jpeg::DescribeError(image_->LastError()));
  return -1;
}
