#pragma once
// How a video frame's codec class opens the decoder front: the decoder kind,
// the output format asked for, and whether the frame's type lets decoding
// start at once (otherwise the first key frame is awaited).
#include <cstdint>
#include <optional>

struct DecoderOpening {
  int32_t kind;
  int32_t format;
  bool keySeen;
};

// nullopt for a class that has no decoder.
std::optional<DecoderOpening> DecoderOpeningFor(int32_t codecClass, uint8_t type);
