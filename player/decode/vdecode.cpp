#include "player/decode/vdecode.h"

#include "codecs/pixels/output_formats.h"

int32_t OutputFormatForDisplay(int32_t depth, int32_t overlay) {
  if (overlay) return OUTPUT_FORMAT_YUV422;
  if (depth == 32) return OUTPUT_FORMAT_RGB32;
  if (depth == 24) return OUTPUT_FORMAT_RGB24;
  return OUTPUT_FORMAT_RGB16;
}

CQxVDecode::~CQxVDecode() { Close(); }

void CQxVDecode::SetOutputFormat(int32_t depth, int32_t overlay) {
  depth_ = depth;
  overlay_ = overlay;
}

int32_t CQxVDecode::Open(uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t kind,
                         int32_t /*format*/) {
  // A path left open would be lost with its decoder.
  Close();
  kind_ = kind;
  format_ = OutputFormatForDisplay(depth_, overlay_);
  source_ = source;
  std::unique_ptr<DecoderKind> decoder = MakeDecoderKind(kind);
  if (!decoder) return -1;
  if (!source) return -1;
  const DecoderTarget target{destination, width, height, format_, &options_, &observer_};
  const int32_t opened = decoder->Open(target);
  if (opened == 1) decoder_ = std::move(decoder);
  return opened;
}

int32_t CQxVDecode::Decode(int32_t length) {
  if (!decoder_ || !source_ || length < 0) return -1;
  return decoder_->Decode(source_, length, sourcePadding_);
}

DecodeOutcome CQxVDecode::LastOutcome() const {
  if (!decoder_) return {DecodeOutcome::Verdict::kError, -1, DecodeOutcome::CodeStyle::kDecimal, "no decoder open"};
  return decoder_->LastOutcome();
}

int32_t CQxVDecode::Drain() { return decoder_ ? decoder_->Drain() : -1; }

void CQxVDecode::Close() { decoder_.reset(); }
