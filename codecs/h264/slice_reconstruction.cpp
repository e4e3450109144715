// Reconstruction of a slice's macroblocks: intra prediction from the
// neighbouring samples, the neighbours of the inter vectors, motion-
// compensated prediction with its weights, and the residual added into the
// picture.
#include <algorithm>
#include <cstring>

#include "codecs/h264/motion_compensation.h"
#include "codecs/h264/ref_list.h"
#include "codecs/h264/slice_decoder.h"

namespace avc {

void SliceDecoder::MbEdge(uint8_t* at, ptrdiff_t stride, int size, IntraEdge& e) const {
  e.hasLeft = IntraAvailable(mbx_ - 1, mby_);
  e.hasTop = IntraAvailable(mbx_, mby_ - 1);
  e.hasCorner = IntraAvailable(mbx_ - 1, mby_ - 1);
  for (int i = 0; i < size; ++i) {
    e.top[i] = e.hasTop ? at[i - stride] : 0;
    e.left[i] = e.hasLeft ? at[i * stride - 1] : 0;
  }
  e.corner = e.hasCorner ? at[-stride - 1] : 0;
}

uint32_t SliceDecoder::PredictChroma(int mode, const Coefficients& co, int cbp) {
  uint32_t error = 0;
  const size_t offset = static_cast<size_t>(mby_) * 8 * chromaStride_ + static_cast<size_t>(mbx_) * 8;
  for (int comp = 0; comp < 2; ++comp) {
    uint8_t* at = planes_[1 + comp] + offset;
    IntraEdge e;
    MbEdge(at, chromaStride_, 8, e);
    if ((mode == 1 && !e.hasLeft) || (mode == 2 && !e.hasTop) ||
        (mode == 3 && !(e.hasLeft && e.hasTop && e.hasCorner))) {
      error = kErrNeighbour;
    }
    k_.intraChroma[mode](at, chromaStride_, e);
  }
  AddChromaResidual(co, cbp);
  return error;
}

void SliceDecoder::AddChromaResidual(const Coefficients& co, int cbp) {
  if (!(cbp >> 4)) return;
  const size_t offset = static_cast<size_t>(mby_) * 8 * chromaStride_ + static_cast<size_t>(mbx_) * 8;
  for (int comp = 0; comp < 2; ++comp) {
    uint8_t* at = planes_[1 + comp] + offset;
    for (int b = 0; b < 4; ++b) {
      uint8_t* block = at + (b >> 1) * 4 * chromaStride_ + (b & 1) * 4;
      if (co.chromaCoded[comp][b]) {
        k_.transformAdd(block, chromaStride_, co.chroma[comp][b]);
      } else if (co.chroma[comp][b][0]) {
        k_.dcAdd(block, chromaStride_, co.chroma[comp][b][0]);
      }
    }
  }
}

// The list-0 vector and reference of 4x4 block (bx, by), in 4x4 units
// from the current macroblock's corner.  Blocks of the current macroblock
// count only when decoded before the block numbered `before`.
MvNeighbour SliceDecoder::Neighbour(const MbRecord& m, int bx, int by, int before) const {
  MvNeighbour n;
  const MbRecord* rec = &m;
  if (bx >= 0 && bx < 4 && by >= 0) {
    if (BlockIndex(bx, by) >= before) return n;
  } else {
    if (bx > 3 && by >= 0) return n;  // right of the macroblock: not decoded yet
    int mbx = mbx_, mby = mby_;
    if (bx < 0) {
      --mbx;
      bx += 4;
    } else if (bx > 3) {
      ++mbx;
      bx -= 4;
    }
    if (by < 0) {
      --mby;
      by += 4;
    }
    if (!Available(mbx, mby)) return n;
    rec = &At(mbx, mby);
  }
  n.available = true;
  if (IsIntra(rec->kind)) return n;
  n.refIdx = rec->refIdx[(by >> 1) * 2 + (bx >> 1)];
  n.mv[0] = rec->mv[by * 4 + bx][0];
  n.mv[1] = rec->mv[by * 4 + bx][1];
  return n;
}

void SliceDecoder::Neighbours(const MbRecord& m, const Partition& p, MvNeighbour& a, MvNeighbour& b, MvNeighbour& c) const {
  const int first = BlockIndex(p.x, p.y);
  a = Neighbour(m, p.x - 1, p.y, first);
  b = Neighbour(m, p.x, p.y - 1, first);
  c = Neighbour(m, p.x + p.width, p.y - 1, first);
  if (!c.available) c = Neighbour(m, p.x - 1, p.y - 1, first);
}

// Writes the partition's vector into the record and predicts its samples
// into the macroblock's sample buffer.
void SliceDecoder::Predict(MbRecord& m, MbSamples& samples, const Partition& p, int refIdx, int mvx, int mvy) {
  for (int y = p.y; y < p.y + p.height; ++y) {
    for (int x = p.x; x < p.x + p.width; ++x) {
      m.mv[y * 4 + x][0] = static_cast<int16_t>(mvx);
      m.mv[y * 4 + x][1] = static_cast<int16_t>(mvy);
    }
  }
  const uint8_t entry = c_.refList[refIdx];
  const StoredPicture& ref = c_.store.At(RefEntryIndex(entry));
  if (ref.withheld) picture_->withheld = true;
  ReferencePlanes planes{{ref.planes[0], ref.planes[1], ref.planes[2]},
                         static_cast<int>(frameStride_),
                         static_cast<int>(lumaStride_),
                         static_cast<int>(picSize_ / widthMbs_) * 16,
                         0};
  if (field_) {
    // A reference field: every other line of its frame.  Chroma samples
    // of the two parities sit a quarter chroma line apart, which the
    // vertical chroma vector makes up for (clause 8.4.1.4).
    const int refBottom = RefEntryBottom(entry) ? 1 : 0, currentBottom = structure_ == kBottomField ? 1 : 0;
    if (refBottom) {
      planes.planes[0] += frameStride_;
      planes.planes[1] += frameStride_ / 2;
      planes.planes[2] += frameStride_ / 2;
    }
    planes.chromaMvyOffset = 2 * (currentBottom - refBottom);
  }
  const MotionPartition part{mbx_, mby_, p.x * 4, p.y * 4, p.width * 4, p.height * 4, mvx, mvy};
  PredictPartition(k_, planes, part, samples);
}

// Weighting, residual and clipping per 8x8 quadrant, then the macroblock
// goes into the picture.  `residual` is read only where `cbp` has bits.
void SliceDecoder::Reconstruct(const int (&refIdx)[4], MbSamples& samples, const MbResidual& residual, int cbp) {
  const bool explicitWeights = c_.activePps.weightedPred;
  const CombinationKernel combine = k_.combination[explicitWeights ? kCombineExplicitL0 : kCombineDefaultL0];
  for (int q = 0; q < 4; ++q) {
    const int chroma = (q >> 1) * 4 * kMbRowStep + (q & 1) * 4;
    CombinationJob job{};
    job.luma = samples.luma[q];
    job.cb = samples.cb + chroma;
    job.cr = samples.cr + chroma;
    job.lumaResidual = residual.luma[q];
    job.cbResidual = residual.cb + chroma;
    job.crResidual = residual.cr + chroma;
    job.lumaCoded = (cbp >> q) & 1;
    job.chromaCoded = (cbp >> 4) != 0;
    if (explicitWeights) {
      const WeightEntry& e = h_.weights[refIdx[q]];
      job.lumaLog2Denom = static_cast<int>(h_.lumaLog2WeightDenom);
      job.lumaWeight = e.lumaWeight;
      job.lumaOffset = e.lumaOffset;
      job.chromaLog2Denom = static_cast<int>(h_.chromaLog2WeightDenom);
      for (int comp = 0; comp < 2; ++comp) {
        job.chromaWeight[comp] = e.chromaWeight[comp];
        job.chromaOffset[comp] = e.chromaOffset[comp];
      }
    }
    combine(job);
  }
  uint8_t* luma = planes_[0] + static_cast<size_t>(mby_) * 16 * lumaStride_ + mbx_ * 16;
  for (int y = 0; y < 16; ++y) {
    for (int half = 0; half < 2; ++half) {
      std::memcpy(luma + y * lumaStride_ + half * 8, samples.luma[(y >> 3) * 2 + half] + (y & 7) * kMbRowStep, 8);
    }
  }
  const size_t offset = static_cast<size_t>(mby_) * 8 * chromaStride_ + static_cast<size_t>(mbx_) * 8;
  for (int y = 0; y < 8; ++y) {
    std::memcpy(planes_[1] + offset + y * chromaStride_, samples.cb + y * kMbRowStep, 8);
    std::memcpy(planes_[2] + offset + y * chromaStride_, samples.cr + y * kMbRowStep, 8);
  }
}

// The residual of an inter macroblock in the sample buffer's layout; the
// areas its coded block pattern leaves out are not read.
void SliceDecoder::InterResidual(const Coefficients& co, int cbp, MbResidual& residual) const {
  for (int p = 0; p < 16; ++p) {
    const int bx = p & 3, by = p >> 2;
    if (!((cbp >> ((by >> 1) * 2 + (bx >> 1))) & 1)) continue;
    int16_t* at = residual.luma[(by >> 1) * 2 + (bx >> 1)] + (by & 1) * 4 * kMbRowStep + (bx & 1) * 4;
    if (co.lumaCoded[p]) {
      k_.inverseTransform(at, kMbRowStep, co.luma[p]);
    } else {
      for (int y = 0; y < 4; ++y) std::fill(at + y * kMbRowStep, at + y * kMbRowStep + 4, int16_t{0});
    }
  }
  if (!(cbp >> 4)) return;
  for (int comp = 0; comp < 2; ++comp) {
    int16_t* plane = comp == 0 ? residual.cb : residual.cr;
    for (int b = 0; b < 4; ++b) {
      // A block with only its DC has zero AC coefficients: the transform
      // spreads (dc + 32) >> 6 over it.
      k_.inverseTransform(plane + (b >> 1) * 4 * kMbRowStep + (b & 1) * 4, kMbRowStep, co.chroma[comp][b]);
    }
  }
}

void SliceDecoder::SetReferences(MbRecord& m, const int (&refIdx)[4]) const {
  for (int q = 0; q < 4; ++q) {
    m.refIdx[q] = static_cast<int8_t>(refIdx[q]);
    m.refPicture[q] = static_cast<int8_t>(c_.refList[refIdx[q]]);
  }
}

void SliceDecoder::DecodeSkip(uint32_t addr) {
  MbRecord& m = BeginMacroblock(addr);
  m.kind = MbKind::kInter;
  SetQp(m);
  SetReferences(m, {0, 0, 0, 0});
  const Partition whole{0, 0, 4, 4, 0, {}};
  MvNeighbour a, b, c;
  Neighbours(m, whole, a, b, c);
  int mv[2];
  PredictSkipMv(a, b, c, mv);
  MbSamples samples;
  Predict(m, samples, whole, 0, mv[0], mv[1]);
  MbResidual none;
  Reconstruct({0, 0, 0, 0}, samples, none, 0);
  m.slice = sliceId_;
}

}  // namespace avc
