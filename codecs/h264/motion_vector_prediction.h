#pragma once
// Luma motion-vector prediction for list 0 (clause 8.4.1.3) from the
// neighbouring partitions A, B and C (C already replaced by D where C is
// not available), and the P_Skip rule of clause 8.4.1.1.
#include <cstdint>

namespace avc {

struct MvNeighbour {
  bool available = false;  // the macroblock holding it is available
  int refIdx = -1;         // -1 when unavailable or intra
  int mv[2] = {};
};

// 16x8 and 8x16 partitions first look at the neighbour on their side.
enum class PartitionShape : uint8_t { kOther, k16x8, k8x16 };

void PredictMv(const MvNeighbour& a, const MvNeighbour& b, const MvNeighbour& c, int refIdx, PartitionShape shape,
               int partition, int (&out)[2]);

// The vector of a P_Skip macroblock.
void PredictSkipMv(const MvNeighbour& a, const MvNeighbour& b, const MvNeighbour& c, int (&out)[2]);

}  // namespace avc
