#pragma once
// Quantiser tables of ITU-T H.264: QPc from qPI (Table 8-15), the normAdjust
// factors v of clause 8.5.9, and the frame zig-zag scan (clause 8.5.6).
#include <cstdint>

namespace avc {

inline constexpr uint8_t kChromaQp[52] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                                          18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 29, 30, 31, 32, 32, 33,
                                          34, 34, 35, 35, 36, 36, 37, 37, 37, 38, 38, 38, 39, 39, 39, 39};

// [qP % 6][class]: class 0 both coordinates even, 1 both odd, 2 mixed.
inline constexpr uint8_t kNormAdjust[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                                              {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};

// Class of each raster position of a 4x4 block.
inline constexpr uint8_t kPositionClass[16] = {0, 2, 0, 2, 2, 1, 2, 1, 0, 2, 0, 2, 2, 1, 2, 1};

// Raster position of each scan index.
inline constexpr uint8_t kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

inline uint8_t ChromaQpFor(int qp, int offset) {
  int i = qp + offset;
  i = i < 0 ? 0 : i > 51 ? 51 : i;
  return kChromaQp[i];
}

}  // namespace avc
