#include "player/decoder_opening.h"

#include "player/vdecode.h"
#include "player/vyx_format.h"

std::optional<int32_t> DecoderKindOfClass(int32_t codecClass) {
  switch (codecClass) {
    case CODEC_CLASS_MPEG4:
      return DECODER_KIND_MPEG4;
    case CODEC_CLASS_H264:
      return DECODER_KIND_H264;
    case CODEC_CLASS_QX264:
      return DECODER_KIND_QX264;
    case CODEC_CLASS_JPEG:
      return DECODER_KIND_JPEG;
    default:
      return std::nullopt;
  }
}
