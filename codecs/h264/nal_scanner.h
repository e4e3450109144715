#pragma once
// Splits an Annex B byte stream into NAL units and removes the
// emulation-prevention bytes (clause 7.4.1 and Annex B).
#include <cstddef>
#include <cstdint>

namespace avc {

struct NalUnitBytes {
  size_t length = 0;    // RBSP bytes written to the buffer, trailing zeros removed
  bool tooLong = false; // the unit did not fit the buffer: nothing to decode
};

// Finds the next unit at or after `position` (which moves past it): its
// payload, from the byte after a 00 00 01 start code to the next start code
// or the end of the data, goes to `rbsp` without emulation-prevention bytes.
// False when no further start code exists.
bool NextNalUnit(const uint8_t* data, size_t length, size_t& position, uint8_t* rbsp, size_t capacity,
                 NalUnitBytes& unit);

}  // namespace avc
