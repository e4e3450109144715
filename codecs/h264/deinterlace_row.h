#pragma once
// The deinterlacer's row arithmetic, one pair of samples at a time.  The
// plain kernel is a loop over these functions; the SIMD kernels compute the
// same pairs on packed data and use them for the samples left over at the
// end of a row.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codecs/h264/kernel_set.h"

namespace avc {

// A pair whose stillness counter has reached this many pictures takes the
// average of the current and the previous line instead of interpolating.
constexpr int kStillPicturesForAverage = 3;
// Below this detail on all four lines the area is flat, and a smaller
// change already counts as motion.
constexpr int kFlatDetailLimit = 45;
constexpr int kFlatMotionThreshold = 40;
constexpr int kDetailedMotionThreshold = 130;

inline void CopyRow(uint8_t* destination, const uint8_t* source, size_t n) { std::memcpy(destination, source, n); }

// How much a pair's first sample differs from its neighbour and from the
// sample two lines down.
inline int PairDetail(const uint8_t* line, const uint8_t* lineBelow, int x) {
  return std::abs(line[x] - lineBelow[x]) + std::abs(line[x] - line[x + 1]);
}

inline int PairSum(const uint8_t* line, int x) { return line[x] + line[x + 1]; }

// The replaced sample from the kept lines around it, along whichever of
// the vertical and the two diagonals differs least; ties keep the
// vertical, then the diagonal from upper right to lower left.  At the ends of the row the missing
// neighbour is the sample itself: those outputs are replaced afterwards.
inline uint8_t InterpolateSample(const DeinterlaceRowJob& j, int x) {
  const uint8_t* above = j.source[0];
  const uint8_t* below = j.source[2];
  const int left = x > 0 ? x - 1 : x;
  const int right = x + 1 < j.width ? x + 1 : x;
  int best = std::abs(above[x] - below[x]);
  int from = x, to = x;
  if (const int falling = std::abs(above[right] - below[left]); falling < best) {
    best = falling;
    from = right;
    to = left;
  }
  if (const int rising = std::abs(above[left] - below[right]); rising < best) {
    from = left;
    to = right;
  }
  return static_cast<uint8_t>((above[from] + below[to] + 1) >> 1);
}

// Output samples x and x + 1 of the replaced line, and their counters.
inline void DeinterlacePair(const DeinterlaceRowJob& j, int x) {
  const uint8_t* const* s = j.source;
  const uint8_t* const* p = j.previous;
  const bool flat = PairDetail(s[1], s[3], x) < kFlatDetailLimit && PairDetail(s[0], s[2], x) < kFlatDetailLimit &&
                    PairDetail(p[1], p[3], x) < kFlatDetailLimit && PairDetail(p[0], p[2], x) < kFlatDetailLimit;
  const int threshold = flat ? kFlatMotionThreshold : kDetailedMotionThreshold;
  const int replacedChange = std::abs(PairSum(s[1], x) + PairSum(s[3], x) - PairSum(p[1], x) - PairSum(p[3], x));
  const int keptChange = std::abs(PairSum(s[0], x) + PairSum(s[2], x) - PairSum(p[0], x) - PairSum(p[2], x));
  const bool still = replacedChange < threshold && keptChange < threshold;
  uint8_t* counter = j.counters + x;
  uint8_t* out = j.destination[1];
  if (still && counter[0] >= kStillPicturesForAverage) {
    out[x] = static_cast<uint8_t>((s[1][x] + p[1][x] + 1) >> 1);
    out[x + 1] = static_cast<uint8_t>((s[1][x + 1] + p[1][x + 1] + 1) >> 1);
    return;
  }
  if (still) {
    counter[0] = static_cast<uint8_t>(counter[0] + 1);
    counter[1] = static_cast<uint8_t>(counter[1] + 1);
  } else {
    counter[0] = counter[1] = 0;
  }
  out[x] = InterpolateSample(j, x);
  out[x + 1] = InterpolateSample(j, x + 1);
}

// After the pairs: the replaced line's first and last two samples repeat
// the kept line, which is copied as it is.
inline void FinishDeinterlacedRows(const DeinterlaceRowJob& j) {
  const int w = j.width;
  uint8_t* out = j.destination[1];
  const uint8_t* kept = j.source[0];
  out[0] = kept[0];
  out[1] = kept[1];
  out[w - 2] = kept[w - 2];
  out[w - 1] = kept[w - 1];
  CopyRow(j.destination[0], kept, static_cast<size_t>(w));
}

void DeinterlaceRowPlain(const DeinterlaceRowJob& job);

}  // namespace avc
