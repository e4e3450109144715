#include "player/decoder_opening.h"

#include "codecs/mpeg4/output_formats.h"
#include "player/vdecode.h"
#include "player/vyx_format.h"

std::optional<DecoderOpening> DecoderOpeningFor(int32_t codecClass, uint8_t type) {
  switch (codecClass) {
    case CODEC_CLASS_MPEG4:
      return DecoderOpening{DECODER_KIND_MPEG4, OUTPUT_FORMAT_YUV422, type == FRAME_TYPE_MPEG4_I};
    case CODEC_CLASS_H264:
      return DecoderOpening{DECODER_KIND_H264, OUTPUT_FORMAT_RGB32, type == FRAME_TYPE_H264_I};
    case CODEC_CLASS_QX264:
      return DecoderOpening{DECODER_KIND_QX264, OUTPUT_FORMAT_RGB32, type == FRAME_TYPE_H264B_I};
    case CODEC_CLASS_JPEG:
      return DecoderOpening{DECODER_KIND_JPEG, OUTPUT_FORMAT_RGB32_FLIP, true};
    default:
      return std::nullopt;
  }
}
