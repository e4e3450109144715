#pragma once
// Interlaced streams from progressive CAVLC I/P encodes (libx264 Baseline,
// picture order count type 2, every picture a reference): frame pictures of
// an interlaced sequence from a full-height encode, field pairs from the
// pictures of a half-height encode taken two by two, or both in turn.  The
// slice data bits are copied as they stand, so field pictures decode
// scrambled (field scan, field references) but validly: the headers keep
// every reference index in range of the field lists.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace h264rewrite {

enum class InterlacedLayout {
  kFieldPairs,        // every picture of the half-height encode becomes a field
  kInterlacedFrames,  // every picture of the full-height encode a frame picture (decoding as before)
  kMixed,             // two frame pictures, two field pairs, and so on
};

struct InterlaceOptions {
  InterlacedLayout layout = InterlacedLayout::kFieldPairs;
  bool bottomFirst = false;      // the bottom field of a pair comes first
  bool pocType0 = false;         // picture order count type 0 (8-bit lsb) instead of type 2
  bool longTermMarking = false;  // field pairs only: long-term field pairs through field-unit operations
  bool explicitWeights = false;  // weighted prediction, a weight set per reference index (field or frame)
};

// `frames` is the full-height encode (interlaced frames, mixed), `fields`
// the half-height one (field pairs, mixed); the one a layout does not use
// may be empty.  nullopt with `error` set when the encodes do not fit.
std::optional<std::vector<uint8_t>> Interlace(const std::vector<uint8_t>& frames, const std::vector<uint8_t>& fields,
                                              const InterlaceOptions& options, std::string& error);

}  // namespace h264rewrite
