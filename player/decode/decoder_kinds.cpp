#include "player/decode/decoder_kinds.h"

#include "player/archive/vyx_format.h"
#include "player/decode/ffmpeg_h264_kind.h"
#include "player/decode/jpeg_kind.h"
#include "player/decode/mpeg4_kind.h"
#include "player/decode/qx264_kind.h"

namespace {

template <class Kind>
std::unique_ptr<DecoderKind> Make() {
  return std::make_unique<Kind>();
}

constexpr DecoderKindRow kKinds[] = {
    {DECODER_KIND_H264, "ffmpeg", CODEC_CLASS_H264, CODEC_CLASS_NONE, &Make<FfmpegH264Kind>},
    {DECODER_KIND_MPEG4, "mpeg4", CODEC_CLASS_MPEG4, CODEC_CLASS_NONE, &Make<Mpeg4Kind>},
    {DECODER_KIND_JPEG, "jpeg", CODEC_CLASS_JPEG, CODEC_CLASS_NONE, &Make<JpegKind>},
    {DECODER_KIND_QX264, "qx264", CODEC_CLASS_QX264, CODEC_CLASS_H264, &Make<Qx264Kind>},
};

}  // namespace

std::span<const DecoderKindRow> DecoderKindRows() { return kKinds; }

std::unique_ptr<DecoderKind> MakeDecoderKind(int32_t kind) {
  for (const DecoderKindRow& row : kKinds) {
    if (row.kind == kind) return row.make();
  }
  return nullptr;
}

std::optional<int32_t> DecoderKindOfClass(int32_t codecClass, const VideoDecodeOptions& options) {
  if (codecClass == CODEC_CLASS_NONE) return std::nullopt;
  if (options.ownH264) {
    for (const DecoderKindRow& row : kKinds) {
      if (row.ownH264Class == codecClass) return row.kind;
    }
  }
  for (const DecoderKindRow& row : kKinds) {
    if (row.codecClass == codecClass) return row.kind;
  }
  return std::nullopt;
}

std::vector<const DecoderKindRow*> DecoderKindsForClass(int32_t codecClass) {
  std::vector<const DecoderKindRow*> kinds;
  for (const DecoderKindRow& row : kKinds) {
    if (row.codecClass == codecClass) kinds.push_back(&row);
  }
  for (const DecoderKindRow& row : kKinds) {
    if (row.ownH264Class == codecClass && codecClass != CODEC_CLASS_NONE) kinds.push_back(&row);
  }
  return kinds;
}
