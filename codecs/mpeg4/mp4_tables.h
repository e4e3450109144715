#pragma once
// The code tables and constant data of ISO/IEC 14496-2 that the macroblock
// layer reads: MCBPC, CBPY, DC sizes, motion codes, the intra and inter
// coefficient codes with their escape limits, scans and default matrices.
#include <array>
#include <cstdint>

#include "codecs/mpeg4/mp4_vlc.h"

namespace mp4_tables {

// MCBPC: value = macroblock type x 4 + chroma pattern; kStuffing for the
// stuffing code.
constexpr int kStuffing = -1;
constexpr int kMcbpcIntraBits = 9;
constexpr int kMcbpcInterBits = 9;
extern const std::array<Mp4VlcEntry, 1 << kMcbpcIntraBits> kMcbpcIntra;
extern const std::array<Mp4VlcEntry, 1 << kMcbpcInterBits> kMcbpcInter;

// CBPY as coded for intra macroblocks (bit 3 = block 0).
constexpr int kCbpyBits = 6;
extern const std::array<Mp4VlcEntry, 1 << kCbpyBits> kCbpy;

constexpr int kDcSizeLumaBits = 11;
constexpr int kDcSizeChromaBits = 12;
extern const std::array<Mp4VlcEntry, 1 << kDcSizeLumaBits> kDcSizeLuma;
extern const std::array<Mp4VlcEntry, 1 << kDcSizeChromaBits> kDcSizeChroma;

// motion_code -32..32, sign bit included in the code.
constexpr int kMvdBits = 13;
extern const std::array<Mp4VlcEntry, 1 << kMvdBits> kMvd;

// Coefficient events without their sign bit: value = last << 12 | run << 6 |
// level, or kEscape.
constexpr int kEscape = -1;
constexpr int kCoefBits = 12;
extern const std::array<Mp4VlcEntry, 1 << kCoefBits> kIntraCoef;
extern const std::array<Mp4VlcEntry, 1 << kCoefBits> kInterCoef;
// Largest level of a (last, run) pair and largest run of a (last, level)
// pair, for escape modes 1 and 2; 0 where the table has no such event.
struct EscapeLimits {
  uint8_t maxLevel[2][64];
  uint8_t maxRun[2][64];
};
extern const EscapeLimits kIntraLimits;
extern const EscapeLimits kInterLimits;

extern const std::array<uint8_t, 64> kZigzag;
extern const std::array<uint8_t, 64> kAlternateHorizontal;
extern const std::array<uint8_t, 64> kAlternateVertical;

// Raster order.
extern const std::array<uint8_t, 64> kDefaultIntraMatrix;
extern const std::array<uint8_t, 64> kDefaultInterMatrix;

}  // namespace mp4_tables
