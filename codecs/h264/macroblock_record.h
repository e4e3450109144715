#pragma once
// What later macroblocks and the deblocking filter read of a decoded
// macroblock: one record per macroblock of the picture.
#include <cstdint>

namespace avc {

enum class MbKind : uint8_t { kNone, kIntra4x4, kIntra16x16, kPcm, kInter };

inline bool IsIntra(MbKind k) { return k != MbKind::kInter; }

struct MbRecord {
  int32_t slice = -1;          // the slice that decoded it; -1 none yet
  MbKind kind = MbKind::kNone;
  uint8_t qp = 0;              // 0 for I_PCM
  uint8_t chromaQp = 0;
  uint8_t disableDeblocking = 0;   // the slice's disable_deblocking_filter_idc
  int8_t filterOffsetA = 0;
  int8_t filterOffsetB = 0;
  int8_t chromaQpIndexOffset = 0;
  uint8_t totalCoeff[16] = {};     // luma 4x4 blocks, raster order
  uint8_t chromaTotalCoeff[2][4] = {};
  uint8_t intraModes[16] = {};     // raster order
  // Inter macroblocks: list-0 index and the list entry it named (the
  // frame-store index, with the bottom-field bit in a field, so that the two
  // fields of a frame are different references), per 8x8 quadrant (raster
  // order; -1 for intra), and the vector of each 4x4 block in quarter
  // samples (raster order).
  int8_t refIdx[4] = {-1, -1, -1, -1};
  int8_t refPicture[4] = {-1, -1, -1, -1};
  int16_t mv[16][2] = {};
};

}  // namespace avc
