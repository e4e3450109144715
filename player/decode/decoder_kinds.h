#pragma once
// The decoder kinds the front can open: one row each, naming the kind, the
// codec class whose records it decodes and its factory.  Which kind a
// record opens, and the words vyxdecode's --decoder takes, are read from
// these rows; a new kind is one file and one row.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "player/decode/decode_options.h"
#include "player/decode/decoder_kind.h"

enum : int32_t {
  DECODER_KIND_H264 = 1,   // FFmpeg
  DECODER_KIND_MPEG4 = 2,
  DECODER_KIND_JPEG = 3,
  DECODER_KIND_QX264 = 4,  // the system's own H.264 library
};

struct DecoderKindRow {
  int32_t kind;           // DECODER_KIND_*
  std::string_view name;  // as vyxdecode --decoder names it
  int32_t codecClass;     // CODEC_CLASS_* of the records that open this kind
  // With the decode options' ownH264, records of this class open this kind
  // too; CODEC_CLASS_NONE when no option hands it another class.
  int32_t ownH264Class;
  std::unique_ptr<DecoderKind> (*make)();
};

std::span<const DecoderKindRow> DecoderKindRows();

// Null when no decoder of that kind is built.
std::unique_ptr<DecoderKind> MakeDecoderKind(int32_t kind);

// The kind a record of the codec class opens under the options; nullopt for
// a class that has no decoder kind.
std::optional<int32_t> DecoderKindOfClass(int32_t codecClass, const VideoDecodeOptions& options);

// The kinds that can decode records of the codec class: the class's own
// kind first, then those the options may choose instead.
std::vector<const DecoderKindRow*> DecoderKindsForClass(int32_t codecClass);
