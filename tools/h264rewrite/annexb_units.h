#pragma once
// Annex B framing for the rewriter: the RBSP of every NAL unit of a byte
// stream, and a NAL unit's RBSP back into a stream with its start code.
#include <cstdint>
#include <vector>

namespace h264rewrite {

// Units run from after each 00 00 01 to the next one, its leading zero
// bytes excluded.
std::vector<std::vector<uint8_t>> NalUnitRbsps(const std::vector<uint8_t>& stream);

void AppendNalUnit(std::vector<uint8_t>& stream, const std::vector<uint8_t>& rbsp);

}  // namespace h264rewrite
