#pragma once
// The stream headers that precede a VOP: visual object sequence and visual
// object, video object layer (VOL), group of VOPs and the VOP header.  Each
// parser starts at a start code and returns 0 or a result code of
// mp4_decoder.h.
#include <array>
#include <cstdint>

#include "codecs/mpeg4/mp4_bit_reader.h"

struct Mp4VolHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t verid = 1;
  uint32_t vopTimeIncrementResolution = 30000;
  uint32_t interlaced = 0;
  uint32_t quantPrecision = 5;
  uint32_t quantType = 0;  // 0 H.263, 1 MPEG
  uint32_t quarterSample = 0;
  // In force when quantType is 1; raster order.
  std::array<uint8_t, 64> intraMatrix{};
  std::array<uint8_t, 64> interMatrix{};
};

// The defaults for a layer that sends no VOL header.
Mp4VolHeader DefaultMp4Vol(uint32_t width, uint32_t height);

struct Mp4VopHeader {
  uint32_t codingType = 0;  // 0 I, 1 P, 2 B, 3 S
  bool coded = true;
  uint32_t roundingType = 0;
  uint32_t intraDcVlcThreshold = 0;
  bool topFieldFirst = false;
  bool alternateVerticalScan = false;
  uint32_t quant = 1;
  uint32_t fcode = 1;
};

// Bits of vop_time_increment for a resolution: ceil(log2(r)), at least 1.
int Mp4TimeIncrementBits(uint32_t resolution);

// At 00 00 01 B0: the sequence header and its visual object (00 00 01 B5).
int32_t ParseMp4VisualObjectSequence(Mp4BitReader& reader);
// At 00 00 01 B5: a visual object header.
int32_t ParseMp4VisualObject(Mp4BitReader& reader);
// At a video object start code (00 00 01 00..1F) or a VOL start code
// (00 00 01 20..2F).  Fills `vol` (size and matrices checked against the
// decoder's `width` x `height`); the caller keeps it only on 0 or 102.
int32_t ParseMp4Vol(Mp4BitReader& reader, uint32_t width, uint32_t height, Mp4VolHeader& vol);
// At 00 00 01 B6.
int32_t ParseMp4VopHeader(Mp4BitReader& reader, const Mp4VolHeader& vol, Mp4VopHeader& vop);
