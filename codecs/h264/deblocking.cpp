#include "codecs/h264/deblocking.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace avc {

namespace {

// Table 8-16.
constexpr uint8_t kAlpha[52] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   0,   0,   0,   0,   0,   0,   4,   4,
                                5,  6,  7,  8,  9,  10, 12, 13, 15, 17,  20,  22,  25,  28,  32,  36,  40,  45,
                                50, 56, 63, 71, 80, 90, 101, 113, 127, 144, 162, 182, 203, 226, 255, 255};
constexpr uint8_t kBeta[52] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  2,  2,  2,  3,  3,  3,  3,  4,  4,  4,
                               6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18};
// Table 8-17: tC0 for bS 1, 2, 3.
constexpr uint8_t kTc0[52][3] = {
    {0, 0, 0},   {0, 0, 0},   {0, 0, 0},   {0, 0, 0},   {0, 0, 0},    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},
    {0, 0, 0},   {0, 0, 0},   {0, 0, 0},   {0, 0, 0},   {0, 0, 0},    {0, 0, 0},    {0, 0, 0},    {0, 0, 0},
    {0, 0, 0},   {0, 0, 1},   {0, 0, 1},   {0, 0, 1},   {0, 0, 1},    {0, 1, 1},    {0, 1, 1},    {1, 1, 1},
    {1, 1, 1},   {1, 1, 1},   {1, 1, 1},   {1, 1, 2},   {1, 1, 2},    {1, 1, 2},    {1, 1, 2},    {1, 2, 3},
    {1, 2, 3},   {2, 2, 3},   {2, 2, 4},   {2, 3, 4},   {2, 3, 4},    {3, 3, 5},    {3, 4, 6},    {3, 4, 6},
    {4, 5, 7},   {4, 5, 8},   {4, 6, 9},   {5, 7, 10},  {6, 8, 11},   {6, 8, 13},   {7, 10, 14},  {8, 11, 16},
    {9, 12, 18}, {10, 13, 20}, {11, 15, 23}, {13, 17, 25}};

// Fills the thresholds of an edge whose four segments have strengths bS.
void Thresholds(int qpAverage, const MbRecord& q, const uint8_t (&bS)[4], EdgeFilterArgs& a) {
  const int indexA = std::clamp(qpAverage + q.filterOffsetA, 0, 51);
  const int indexB = std::clamp(qpAverage + q.filterOffsetB, 0, 51);
  a.alpha = kAlpha[indexA];
  a.beta = kBeta[indexB];
  for (int i = 0; i < 4; ++i) {
    a.bS[i] = bS[i];
    a.tc0[i] = static_cast<int8_t>(bS[i] > 0 && bS[i] < 4 ? kTc0[indexA][bS[i] - 1] : 0);
  }
}

// Strength across an edge between two 4x4 blocks (raster indices) when
// neither macroblock is intra (clause 8.7.2.1).  A field's vertical vectors
// count field lines: half the frame-line threshold.
// Every test is made and the results combined without branches: their
// outcomes follow the picture's content and are hard to predict.
uint8_t InterStrength(const MbRecord& p, int blockP, const MbRecord& q, int blockQ, int verticalLimit) {
  const bool coded = (p.totalCoeff[blockP] | q.totalCoeff[blockQ]) != 0;
  const int quadrantP = (blockP >> 3) * 2 + ((blockP & 3) >> 1), quadrantQ = (blockQ >> 3) * 2 + ((blockQ & 3) >> 1);
  const int16_t* a = p.mv[blockP];
  const int16_t* b = q.mv[blockQ];
  const bool moved = (p.refPicture[quadrantP] != q.refPicture[quadrantQ]) | (std::abs(a[0] - b[0]) >= 4) |
                     (std::abs(a[1] - b[1]) >= verticalLimit);
  return static_cast<uint8_t>(coded ? 2 : moved);
}

// The strengths of the four segments of one edge; `p` is the macroblock
// on the other side for edge 0, else `q` itself.  In a field the upper
// macroblock edge of an intra macroblock gets 3, not 4.
void EdgeStrengths(const MbRecord& p, const MbRecord& q, bool vertical, int edge, bool field, uint8_t (&bS)[4]) {
  if (IsIntra(p.kind) || IsIntra(q.kind)) {
    std::fill(bS, bS + 4, static_cast<uint8_t>(edge == 0 && (vertical || !field) ? 4 : 3));
    return;
  }
  for (int i = 0; i < 4; ++i) {
    const int blockQ = vertical ? i * 4 + edge : edge * 4 + i;
    const int blockP = edge == 0 ? (vertical ? i * 4 + 3 : 12 + i) : (vertical ? blockQ - 1 : blockQ - 4);
    bS[i] = InterStrength(p, blockP, q, blockQ, field ? 2 : 4);
  }
}

// An inter macroblock without coefficients whose blocks all share one
// reference and one vector has strength 0 on every inner edge.
bool InnerEdgesUnfiltered(const MbRecord& q) {
  if (IsIntra(q.kind)) return false;
  uint64_t coded[2];
  std::memcpy(coded, q.totalCoeff, sizeof coded);
  if (coded[0] | coded[1]) return false;
  for (int quadrant = 1; quadrant < 4; ++quadrant) {
    if (q.refPicture[quadrant] != q.refPicture[0]) return false;
  }
  for (int block = 1; block < 16; ++block) {
    if (q.mv[block][0] != q.mv[0][0] || q.mv[block][1] != q.mv[0][1]) return false;
  }
  return true;
}

}  // namespace

void DeblockPicture(StoredPicture& picture, uint8_t structure, const MbRecord* mbs, uint32_t widthInMbs,
                    uint32_t heightInMbs, int32_t firstSlice, const KernelSet& k) {
  const bool field = structure != kBothFields;
  const ptrdiff_t frameStride = static_cast<ptrdiff_t>(widthInMbs) * 16;
  const ptrdiff_t lumaStride = frameStride * (field ? 2 : 1);
  const ptrdiff_t chromaStride = lumaStride / 2;
  const ptrdiff_t firstLine = structure == kBottomField ? frameStride : 0;
  uint8_t* const planes[3] = {picture.planes[0] + firstLine, picture.planes[1] + firstLine / 2,
                              picture.planes[2] + firstLine / 2};
  auto decoded = [&](uint32_t mbx, uint32_t mby) { return mbs[mby * widthInMbs + mbx].slice >= firstSlice; };
  for (uint32_t mby = 0; mby < heightInMbs; ++mby) {
    for (uint32_t mbx = 0; mbx < widthInMbs; ++mbx) {
      const MbRecord& q = mbs[mby * widthInMbs + mbx];
      if (q.slice < firstSlice || q.disableDeblocking == 1) continue;
      // With idc 2 the filter stops at the slice's borders.
      const bool filterLeft = mbx > 0 && decoded(mbx - 1, mby) &&
                              (q.disableDeblocking != 2 || mbs[mby * widthInMbs + mbx - 1].slice == q.slice);
      const bool filterTop = mby > 0 && decoded(mbx, mby - 1) &&
                             (q.disableDeblocking != 2 || mbs[(mby - 1) * widthInMbs + mbx].slice == q.slice);
      uint8_t* luma = planes[0] + mby * 16 * lumaStride + mbx * 16;
      const ptrdiff_t chromaOffset = mby * 8 * chromaStride + mbx * 8;
      const int edges = InnerEdgesUnfiltered(q) ? 1 : 4;
      for (int dir = 0; dir < 2; ++dir) {
        const bool vertical = dir == 0;
        const bool filterOuter = vertical ? filterLeft : filterTop;
        const MbRecord* p = filterOuter ? (vertical ? &q - 1 : &q - widthInMbs) : nullptr;
        for (int edge = 0; edge < edges; ++edge) {
          if (edge == 0 && !filterOuter) continue;
          uint8_t bS[4];
          EdgeStrengths(edge == 0 ? *p : q, q, vertical, edge, field, bS);
          if (!(bS[0] | bS[1] | bS[2] | bS[3])) continue;
          const int qpP = edge == 0 ? p->qp : q.qp;
          EdgeFilterArgs a{};
          Thresholds((qpP + q.qp + 1) >> 1, q, bS, a);
          a.q0 = vertical ? luma + edge * 4 : luma + edge * 4 * lumaStride;
          a.across = vertical ? 1 : lumaStride;
          a.along = vertical ? lumaStride : 1;
          k.lumaEdge(a);
          if (edge == 1 || edge == 3) continue;
          const int chromaQpP = edge == 0 ? p->chromaQp : q.chromaQp;
          EdgeFilterArgs ca{};
          Thresholds((chromaQpP + q.chromaQp + 1) >> 1, q, bS, ca);
          for (int comp = 0; comp < 2; ++comp) {
            uint8_t* chroma = planes[1 + comp] + chromaOffset;
            const int c = edge * 2;  // luma edge 8 is chroma edge 4
            ca.q0 = vertical ? chroma + c : chroma + c * chromaStride;
            ca.across = vertical ? 1 : chromaStride;
            ca.along = vertical ? chromaStride : 1;
            k.chromaEdge(ca);
          }
        }
      }
    }
  }
}

}  // namespace avc
