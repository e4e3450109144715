#include "player/decode/mpeg4_kind.h"

Mp4VolDefaults Mpeg4VolDefaultsForSize(int32_t width, int32_t height) {
  Mp4VolDefaults defaults;
  defaults.interlaced = (width == 720 || width == 704) && (height == 480 || height == 576) ? 1 : 0;
  defaults.vopTimeIncrementResolution = 30000;
  defaults.quantPrecision = 5;
  defaults.verid = 1;
  defaults.quarterSample = 0;
  return defaults;
}

Mpeg4Kind::~Mpeg4Kind() { Mp4Dec_Destroy(decoder_, 0); }

int32_t Mpeg4Kind::Open(const DecoderTarget& target) {
  if (!target.destination || target.width <= 0 || target.height <= 0) return 0;
  if (Mp4Dec_Create(&decoder_, uint32_t(target.width), uint32_t(target.height), 0, uint32_t(target.format)) != 0)
    return 0;
  frame_ = Mp4DecFrame{};
  frame_.width = uint32_t(target.width);
  frame_.height = uint32_t(target.height);
  frame_.output = target.destination;
  frame_.format = target.format;
  frame_.stride = target.width;
  observer_ = target.observer;
  const Mp4VolDefaults defaults = Mpeg4VolDefaultsForSize(target.width, target.height);
  Mp4Dec_SetVolDefaults(decoder_, &defaults);
  return 1;
}

int32_t Mpeg4Kind::Decode(const uint8_t* source, int32_t length, size_t /*padding*/) {
  if (length < 0) return lastResult_ = MP4DEC_ERR_NO_VOP;
  frame_.data = source;
  frame_.length = size_t(length);
  const int32_t result = Mp4Dec_Decode(decoder_, &frame_, 0);
  lastResult_ = result;
  if (result == MP4DEC_OK) ShowPlanes();
  return result;
}

DecodeOutcome Mpeg4Kind::LastOutcome() const {
  using Verdict = DecodeOutcome::Verdict;
  if (lastResult_ == MP4DEC_OK) return DecodeOutcome::Picture();
  Verdict verdict = Mp4Dec_IsRefusal(lastResult_) ? Verdict::kRefused : Verdict::kError;
  if (lastResult_ == MP4DEC_B_VOP_SKIPPED) verdict = Verdict::kSkipped;
  if (lastResult_ == MP4DEC_NO_REFERENCE) verdict = Verdict::kWithheld;
  return {verdict, lastResult_, DecodeOutcome::CodeStyle::kDecimal, Mp4Dec_DescribeResult(lastResult_)};
}

void Mpeg4Kind::ShowPlanes() const {
  if (!observer_ || !*observer_) return;
  Mp4DecPicture p;
  if (Mp4Dec_GetPicture(decoder_, &p) != MP4DEC_OK) return;
  (*observer_)({p.y, p.u, p.v, p.yStride, p.uvStride, p.uvStride, int32_t(p.width), int32_t(p.height)});
}
