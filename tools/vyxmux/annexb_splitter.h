#pragma once
// Splits an H.264 byte stream into access units, one per primary coded
// picture, with the byte ranges FFmpeg's stream copy gives its packets: a
// unit runs from its first NAL unit's start code (the zero_byte of a 4-byte
// start code included) to the next unit; bytes before the first start code
// go with the first unit and NAL units after the last picture with the last.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AccessUnit {
  size_t offset = 0;  // in the stream
  std::vector<uint8_t> bytes;
  bool idr = false;   // holds a slice of an IDR picture
  // Cropped picture size of the sequence parameter set the unit's first
  // slice uses; 0 when that slice header could not be read.
  uint16_t width = 0;
  uint16_t height = 0;
  // The picture its first primary slice belongs to (false, false, false, 0
  // when that slice header could not be read).
  bool field = false;
  bool bottomField = false;
  bool reference = false;  // nal_ref_idc not 0
  uint32_t frameNum = 0;
};

// `error`, when given, receives the first fault found ("" when none):
// no picture at all, a parameter set or slice header that is truncated or
// refers to an undefined set.  The units found are returned either way.
std::vector<AccessUnit> SplitAnnexB(const std::vector<uint8_t>& stream, std::string* error = nullptr);
