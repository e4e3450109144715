#include "player/archive/vyx_format.h"

#include <array>

namespace {

constexpr uint8_t kFirstType = FRAME_TYPE_MPEG4_I;
constexpr uint8_t kLastType = FRAME_TYPE_VOICE;
constexpr FrameTypeInfo kUnknown{false, false, CODEC_CLASS_NONE, false, FramePlayback::kNone};

using P = FramePlayback;

// Types 129..147; the gaps are types no recorder writes.
constexpr std::array<FrameTypeInfo, kLastType - kFirstType + 1> kTypes{{
    /* 129 MPEG-4 I   */ {true, false, CODEC_CLASS_MPEG4, true, P::kPicture},
    /* 130 MPEG-4 P   */ {true, false, CODEC_CLASS_MPEG4, false, P::kPicture},
    // Audio with no codec class and no decoder.
    /* 131 audio      */ {false, true, CODEC_CLASS_NONE, false, P::kSilent},
    /* 132 G.723 (a)  */ {false, true, CODEC_CLASS_MPEG4, false, P::kG723},
    /* 133 H.264 I    */ {true, false, CODEC_CLASS_H264, true, P::kPicture},
    /* 134 H.264 P    */ {true, false, CODEC_CLASS_H264, false, P::kPicture},
    /* 135            */ kUnknown,
    /* 136 JPEG       */ {true, false, CODEC_CLASS_JPEG, true, P::kPicture},
    /* 137            */ kUnknown,
    /* 138            */ kUnknown,
    /* 139            */ kUnknown,
    // The second H.264 pair is decoded by the same class as the first.
    /* 140 H.264 I    */ {true, false, CODEC_CLASS_H264, true, P::kPicture},
    /* 141 H.264 P    */ {true, false, CODEC_CLASS_H264, false, P::kPicture},
    /* 142            */ kUnknown,
    /* 143            */ kUnknown,
    /* 144            */ kUnknown,
    /* 145 IMA ADPCM  */ {false, true, CODEC_CLASS_MPEG4, false, P::kAdpcm},
    /* 146 G.723      */ {false, true, CODEC_CLASS_MPEG4, false, P::kG723},
    /* 147 voice      */ {false, true, CODEC_CLASS_MPEG4, false, P::kVoice},
}};

}  // namespace

const FrameTypeInfo& FrameTypeOf(uint8_t type) {
  if (type < kFirstType || type > kLastType) return kUnknown;
  return kTypes[type - kFirstType];
}

std::string TitleOf(const VYX_FRAME_HEADER& header) {
  size_t n = 0;
  while (n < sizeof header.title && header.title[n] != '\0') ++n;
  return std::string(header.title, n);
}
