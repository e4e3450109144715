#pragma once
// The library's decoder as the tests drive it: made for a size in
// macroblocks, fed one access unit (an archive record) per call.
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "codecs/h264/avc_decoder.h"

namespace avc_test {

using Decoder = std::unique_ptr<AvcDecContext, void (*)(AvcDecContext*)>;

// Null when the library refuses the parameters.
Decoder CreateDecoder(uint32_t widthInMbs, uint32_t heightInMbs, uint32_t maxRefFrames = 16,
                      uint32_t flags = kAvcDecBumping);

int32_t DecodeUnit(AvcDecContext* decoder, const std::vector<uint8_t>& unit, AvcDecPicture& picture);

// Decodes every unit; false when a result is not one the API promises, or
// a picture is wider than `maxWidth`, taller than `maxHeight` or cannot be
// hashed.
bool DecodesWithinBounds(AvcDecContext* decoder, const std::vector<std::vector<uint8_t>>& units, int maxWidth,
                         int maxHeight = std::numeric_limits<int>::max());

}  // namespace avc_test
