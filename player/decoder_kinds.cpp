#include "player/decoder_kinds.h"

#include "player/ffmpeg_h264_kind.h"
#include "player/jpeg_kind.h"
#include "player/mpeg4_kind.h"
#include "player/qx264_kind.h"
#include "player/vdecode.h"

namespace {

struct DecoderKindRow {
  int32_t kind;
  std::unique_ptr<DecoderKind> (*make)();
};

template <class Kind>
std::unique_ptr<DecoderKind> Make() {
  return std::make_unique<Kind>();
}

constexpr DecoderKindRow kKinds[] = {
    {DECODER_KIND_H264, &Make<FfmpegH264Kind>},
    {DECODER_KIND_MPEG4, &Make<Mpeg4Kind>},
    {DECODER_KIND_JPEG, &Make<JpegKind>},
    {DECODER_KIND_QX264, &Make<Qx264Kind>},
};

}  // namespace

std::unique_ptr<DecoderKind> MakeDecoderKind(int32_t kind) {
  for (const DecoderKindRow& row : kKinds) {
    if (row.kind == kind) return row.make();
  }
  return nullptr;
}
