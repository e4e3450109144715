#pragma once
// The decoder of one slice's data: the state its macroblock-layer syntax
// (slice_data.cpp) and its reconstruction (slice_reconstruction.cpp) share.
// The neighbour tests and the 4x4 luma edges, asked for every block, stay
// inline here.  Private to the H.264 library.
#include <cstddef>
#include <cstdint>

#include "codecs/h264/avc_context.h"
#include "codecs/h264/motion_vector_prediction.h"
#include "codecs/h264/quant_tables.h"

namespace avc {

// One inter partition in 4x4 block units of its macroblock.
struct Partition {
  int x, y, width, height;
  int quadrant;  // the 8x8 quadrant holding it, whose reference it uses
  int mvd[2];
};

// Errors of one macroblock, each its own bit.
enum : uint32_t {
  kErrMbType = 1u << 1,
  kErrPredMode = 1u << 2,
  kErrCbp = 1u << 3,
  kErrQpDelta = 1u << 4,
  kErrResidual = 1u << 5,
  kErrNeighbour = 1u << 6,
  kErrPcm = 1u << 7,
  kErrTruncated = 1u << 8,
  kErrSkipRun = 1u << 9,
  kErrRefIdx = 1u << 10,
  kErrSubType = 1u << 11,
  kErrFirstMb = 1u,
};

inline int BlockX(int blk) { return ((blk >> 2) & 1) * 2 + (blk & 1); }
inline int BlockY(int blk) { return ((blk >> 3) & 1) * 2 + ((blk >> 1) & 1); }
inline int BlockIndex(int x, int y) { return (y >> 1) * 8 + (x >> 1) * 4 + (y & 1) * 2 + (x & 1); }

struct Coefficients {
  int32_t luma[16][16];        // by raster 4x4 position, raster order
  int32_t chroma[2][4][16];
  bool lumaCoded[16];
  bool chromaCoded[2][4];
};

class SliceDecoder {
 public:
  SliceDecoder(AvcDecContext& c, int32_t sliceId);

  uint32_t Run();

 private:
  bool Available(int mbx, int mby) const {
    if (mbx < 0 || mby < 0 || mbx >= static_cast<int>(widthMbs_)) return false;
    const uint32_t n = static_cast<uint32_t>(mby) * widthMbs_ + static_cast<uint32_t>(mbx);
    return n < picSize_ && c_.mbs[n].slice == sliceId_;
  }

  // Intra prediction skips inter neighbours under constrained_intra_pred.
  bool IntraAvailable(int mbx, int mby) const {
    return Available(mbx, mby) && (!constrainedIntra_ || IsIntra(At(mbx, mby).kind));
  }

  const MbRecord& At(int mbx, int mby) const { return c_.mbs[static_cast<uint32_t>(mby) * widthMbs_ + mbx]; }

  void SetQp(MbRecord& m) const {
    m.qp = static_cast<uint8_t>(qp_);
    m.chromaQp = ChromaQpFor(qp_, chromaOffset_);
  }

  // The upper, upper-right, left and corner samples of a 4x4 luma block.
  void LumaEdge4(uint8_t* at, int x, int y, IntraEdge& e) const {
    const bool a = IntraAvailable(mbx_ - 1, mby_), b = IntraAvailable(mbx_, mby_ - 1);
    const bool cAvail = IntraAvailable(mbx_ + 1, mby_ - 1), d = IntraAvailable(mbx_ - 1, mby_ - 1);
    e.hasLeft = x > 0 || a;
    e.hasTop = y > 0 || b;
    e.hasCorner = x > 0 ? (y > 0 || b) : (y > 0 ? a : d);
    bool topRight;
    if (y == 0) {
      topRight = x < 3 ? b : cAvail;
    } else {
      topRight = x < 3 && BlockIndex(x + 1, y - 1) < BlockIndex(x, y);
    }
    const uint8_t* above = at - lumaStride_;
    for (int i = 0; i < 4; ++i) {
      e.top[i] = e.hasTop ? above[i] : 0;
      e.left[i] = e.hasLeft ? at[i * lumaStride_ - 1] : 0;
    }
    for (int i = 4; i < 8; ++i) e.top[i] = topRight ? above[i] : e.top[3];
    e.corner = e.hasCorner ? above[-1] : 0;
  }

  // Members declared inline are defined in, and called only from, the one
  // file named above them, where the compiler folds them into their callers.

  // The macroblock layer's syntax (slice_data.cpp).
  inline uint32_t ReadQpDelta();
  inline int LumaNc(const MbRecord& m, int x, int y) const;
  inline int ChromaNc(const MbRecord& m, int comp, int x, int y) const;
  inline bool ReadBlock(int nC, int first, int maxNumCoeff, int qp, int32_t* out, int& totalCoeff);
  inline uint32_t ReadResidual(MbRecord& m, bool intra16, int cbp, Coefficients& co);
  inline int PredictedIntraMode(const MbRecord& m, int x, int y) const;
  inline uint32_t DecodePcm(MbRecord& m);
  MbRecord& BeginMacroblock(uint32_t addr);
  inline uint32_t DecodeMacroblock(uint32_t addr);
  inline uint32_t DecodeIntra4x4(MbRecord& m);
  inline uint32_t DecodeIntra16x16(MbRecord& m, uint32_t mbType);
  inline uint32_t ReadRefIdx(int& out);
  inline void ReadMvd(Partition& p);
  inline uint32_t DecodeInter(MbRecord& m, uint32_t mbType);

  // Reconstruction (slice_reconstruction.cpp).
  void MbEdge(uint8_t* at, ptrdiff_t stride, int size, IntraEdge& e) const;
  uint32_t PredictChroma(int mode, const Coefficients& co, int cbp);
  inline void AddChromaResidual(const Coefficients& co, int cbp);
  inline MvNeighbour Neighbour(const MbRecord& m, int bx, int by, int before) const;
  void Neighbours(const MbRecord& m, const Partition& p, MvNeighbour& a, MvNeighbour& b, MvNeighbour& c) const;
  void Predict(MbRecord& m, MbSamples& samples, const Partition& p, int refIdx, int mvx, int mvy);
  void Reconstruct(const int (&refIdx)[4], MbSamples& samples, const MbResidual& residual, int cbp);
  void InterResidual(const Coefficients& co, int cbp, MbResidual& residual) const;
  void SetReferences(MbRecord& m, const int (&refIdx)[4]) const;
  void DecodeSkip(uint32_t addr);

  AvcDecContext& c_;
  BitReader& r_;
  const SliceHeader& h_;
  const int32_t sliceId_;
  const uint32_t widthMbs_;
  const uint8_t structure_;
  const bool field_;
  const uint32_t picSize_;
  const ptrdiff_t frameStride_;
  const ptrdiff_t lumaStride_;
  const ptrdiff_t chromaStride_;
  int qp_;
  const int chromaOffset_;
  const bool constrainedIntra_;
  const uint8_t* const scan_;
  const KernelSet& k_;
  StoredPicture* picture_ = nullptr;
  uint8_t* planes_[3] = {};
  int mbx_ = 0, mby_ = 0;
};

}  // namespace avc
