#pragma once
// The decoder kinds the front can open, keyed by DECODER_KIND_*.
#include <cstdint>
#include <memory>

#include "player/decoder_kind.h"

// Null when no decoder of that kind is built.
std::unique_ptr<DecoderKind> MakeDecoderKind(int32_t kind);
