#include "codecs/h264/motion_vector_prediction.h"

#include <algorithm>

namespace avc {

namespace {

int Median(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

void Take(const MvNeighbour& n, int (&out)[2]) {
  out[0] = n.mv[0];
  out[1] = n.mv[1];
}

}  // namespace

void PredictMv(const MvNeighbour& a, const MvNeighbour& b, const MvNeighbour& c, int refIdx, PartitionShape shape,
               int partition, int (&out)[2]) {
  if (shape == PartitionShape::k16x8) {
    if (partition == 0 && b.refIdx == refIdx) return Take(b, out);
    if (partition == 1 && a.refIdx == refIdx) return Take(a, out);
  } else if (shape == PartitionShape::k8x16) {
    if (partition == 0 && a.refIdx == refIdx) return Take(a, out);
    if (partition == 1 && c.refIdx == refIdx) return Take(c, out);
  }
  // Only A in reach: B and C stand in for it.
  if (!b.available && !c.available && a.available) return Take(a, out);
  const int matches = (a.refIdx == refIdx) + (b.refIdx == refIdx) + (c.refIdx == refIdx);
  if (matches == 1) {
    if (a.refIdx == refIdx) return Take(a, out);
    if (b.refIdx == refIdx) return Take(b, out);
    return Take(c, out);
  }
  out[0] = Median(a.mv[0], b.mv[0], c.mv[0]);
  out[1] = Median(a.mv[1], b.mv[1], c.mv[1]);
}

void PredictSkipMv(const MvNeighbour& a, const MvNeighbour& b, const MvNeighbour& c, int (&out)[2]) {
  const bool zeroA = a.refIdx == 0 && a.mv[0] == 0 && a.mv[1] == 0;
  const bool zeroB = b.refIdx == 0 && b.mv[0] == 0 && b.mv[1] == 0;
  if (!a.available || !b.available || zeroA || zeroB) {
    out[0] = out[1] = 0;
    return;
  }
  PredictMv(a, b, c, 0, PartitionShape::kOther, 0, out);
}

}  // namespace avc
