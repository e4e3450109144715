#include "player/vyx_format.h"

int32_t CodecClassOfType(uint8_t type) {
  switch (type) {
    case FRAME_TYPE_MPEG4_I:
    case FRAME_TYPE_MPEG4_P:
    case FRAME_TYPE_G723_A:
    case FRAME_TYPE_ADPCM:
    case FRAME_TYPE_G723:
    case FRAME_TYPE_VOICE:
      return CODEC_CLASS_MPEG4;
    case FRAME_TYPE_H264_I:
    case FRAME_TYPE_H264_P:
    case FRAME_TYPE_H264B_I:
    case FRAME_TYPE_H264B_P:
      return CODEC_CLASS_H264;
    case FRAME_TYPE_JPEG:
      return CODEC_CLASS_JPEG;
    default:
      return CODEC_CLASS_NONE;
  }
}

bool IsKeyFrameType(uint8_t type) {
  return type == FRAME_TYPE_MPEG4_I || type == FRAME_TYPE_H264_I || type == FRAME_TYPE_JPEG ||
         type == FRAME_TYPE_H264B_I;
}

bool IsVideoFrameType(uint8_t type) {
  switch (type) {
    case FRAME_TYPE_MPEG4_I:
    case FRAME_TYPE_MPEG4_P:
    case FRAME_TYPE_H264_I:
    case FRAME_TYPE_H264_P:
    case FRAME_TYPE_JPEG:
    case FRAME_TYPE_H264B_I:
    case FRAME_TYPE_H264B_P:
      return true;
    default:
      return false;
  }
}

std::string TitleOf(const VYX_FRAME_HEADER& header) {
  size_t n = 0;
  while (n < sizeof header.title && header.title[n] != '\0') ++n;
  return std::string(header.title, n);
}
