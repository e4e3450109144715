#pragma once
// Locates the NAL units of an H.264 byte stream (3- and 4-byte start codes).
#include <cstddef>
#include <cstdint>
#include <vector>

struct AnnexBNalUnit {
  // First byte of the start code, the zero_byte of a 4-byte start code
  // included: where a unit that begins with this NAL unit begins.
  size_t startCodeOffset = 0;
  size_t nalOffset = 0;  // the NAL unit header byte
  size_t nalSize = 0;    // up to the next start code, trailing zero bytes left out
};

std::vector<AnnexBNalUnit> FindAnnexBNalUnits(const uint8_t* data, size_t size);
