#pragma once
// Splits an MPEG-4 Visual (ISO/IEC 14496-2) elementary stream into pictures
// at the VOP start codes (00 00 01 B6).  Headers that precede a VOP (visual
// object sequence, visual object, video object, video object layer, group
// of VOPs, user data) belong to that VOP's unit; bytes before the first
// start code go with the first unit and anything after the last VOP with
// the last.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Mpeg4Vop {
  size_t offset = 0;  // in the stream
  std::vector<uint8_t> bytes;
  bool intra = false;  // vop_coding_type 0
  // From the latest rectangular video object layer header; 0 before one.
  uint16_t width = 0;
  uint16_t height = 0;
};

// `error`, when given, receives the first fault found ("" when none): no
// VOP at all, a truncated VOP header, an unreadable video object layer.
std::vector<Mpeg4Vop> SplitMpeg4Vops(const std::vector<uint8_t>& stream, std::string* error = nullptr);
