// The macroblock layer of a slice's data (clauses 7.3.4 and 7.3.5, CAVLC):
// skip runs, macroblock types, prediction modes, coded block patterns,
// reference indices and vector differences, and the residual blocks read
// and dequantised.  Each macroblock is then reconstructed
// (slice_reconstruction.cpp).
#include "codecs/h264/slice_data.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "codecs/h264/avc_context.h"
#include "codecs/h264/cavlc.h"
#include "codecs/h264/quant_tables.h"
#include "codecs/h264/slice_decoder.h"

namespace avc {

namespace {

// coded_block_pattern of Intra_4x4 macroblocks by codeNum (Table 9-4).
constexpr uint8_t kIntraCbp[48] = {47, 31, 15, 0,  23, 27, 29, 30, 7,  11, 13, 14, 39, 43, 45, 46,
                                   16, 3,  5,  10, 12, 19, 21, 26, 28, 35, 37, 42, 44, 1,  2,  4,
                                   8,  17, 18, 20, 24, 6,  9,  22, 25, 32, 33, 34, 36, 40, 38, 41};

// coded_block_pattern of inter macroblocks by codeNum (Table 9-4).
constexpr uint8_t kInterCbp[48] = {0,  16, 1,  2,  4,  8,  32, 3,  5,  10, 12, 15, 47, 7,  11, 13,
                                   14, 6,  9,  31, 35, 37, 42, 44, 33, 34, 36, 40, 39, 43, 45, 46,
                                   17, 18, 20, 24, 19, 21, 26, 28, 23, 27, 29, 30, 22, 25, 38, 41};

// Conforming streams keep every coefficient within 16 bits; this bound
// only keeps hostile ones from overflowing the transform.
inline int32_t ClampCoefficient(int64_t v) {
  constexpr int64_t kLimit = int64_t{1} << 25;
  return static_cast<int32_t>(std::clamp(v, -kLimit, kLimit));
}

// Coefficient order of field macroblocks (clause 8.5.6): down the columns
// first, as a field's vertical detail is coarser.
constexpr uint8_t kFieldScan[16] = {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};

}  // namespace

SliceDecoder::SliceDecoder(AvcDecContext& c, int32_t sliceId)
    : c_(c),
      r_(c.reader),
      h_(c.slice),
      sliceId_(sliceId),
      widthMbs_(c.activeSps.widthInMbs),
      structure_(c.store.CurrentStructure()),
      field_(structure_ != kBothFields),
      picSize_(c.activeSps.widthInMbs * c.activeSps.frameHeightInMbs / (field_ ? 2 : 1)),
      frameStride_(static_cast<ptrdiff_t>(c.activeSps.widthInMbs) * 16),
      lumaStride_(frameStride_ * (field_ ? 2 : 1)),
      chromaStride_(lumaStride_ / 2),
      qp_(h_.sliceQp),
      chromaOffset_(c.activePps.chromaQpIndexOffset),
      constrainedIntra_(c.activePps.constrainedIntraPred),
      scan_(field_ ? kFieldScan : kZigzag),
      k_(*c.kernels) {
  picture_ = c.store.Current();
  if (!picture_) return;
  // A field's lines are every other line of its frame, the bottom
  // field's from the frame's second line.
  const bool bottom = structure_ == kBottomField;
  planes_[0] = picture_->planes[0] + (bottom ? frameStride_ : 0);
  planes_[1] = picture_->planes[1] + (bottom ? frameStride_ / 2 : 0);
  planes_[2] = picture_->planes[2] + (bottom ? frameStride_ / 2 : 0);
}

uint32_t SliceDecoder::Run() {
  uint32_t addr = h_.firstMbInSlice;
  if (addr >= picSize_ || !picture_) return kErrFirstMb;
  const bool pSlice = h_.sliceType == kSliceTypeP;
  for (;;) {
    if (pSlice) {
      const uint32_t run = r_.Ue();
      if (r_.Overrun()) return kErrTruncated;
      if (run > picSize_ - addr) return kErrSkipRun;
      for (uint32_t i = 0; i < run; ++i, ++addr) {
        DecodeSkip(addr);
        ++picture_->mbsDecoded;
      }
      if (addr >= picSize_ || (run > 0 && !r_.MoreRbspData())) return 0;
    }
    const uint32_t e = DecodeMacroblock(addr);
    if (e) return e;
    ++picture_->mbsDecoded;
    if (++addr >= picSize_ || !r_.MoreRbspData()) return 0;
  }
}

uint32_t SliceDecoder::ReadQpDelta() {
  const int32_t delta = r_.Se();
  if (delta < -26 || delta > 25) return kErrQpDelta;
  qp_ = (qp_ + delta + 52) % 52;
  return 0;
}

// nC of a luma 4x4 block (x, y in 4x4 units).
int SliceDecoder::LumaNc(const MbRecord& m, int x, int y) const {
  int n = 0, count = 0, total = 0;
  if (x > 0) {
    total += m.totalCoeff[y * 4 + x - 1], ++count;
  } else if (Available(mbx_ - 1, mby_)) {
    total += At(mbx_ - 1, mby_).totalCoeff[y * 4 + 3], ++count;
  }
  if (y > 0) {
    total += m.totalCoeff[(y - 1) * 4 + x], ++count;
  } else if (Available(mbx_, mby_ - 1)) {
    total += At(mbx_, mby_ - 1).totalCoeff[12 + x], ++count;
  }
  n = count == 2 ? (total + 1) >> 1 : total;
  return n;
}

int SliceDecoder::ChromaNc(const MbRecord& m, int comp, int x, int y) const {
  int count = 0, total = 0;
  if (x > 0) {
    total += m.chromaTotalCoeff[comp][y * 2], ++count;
  } else if (Available(mbx_ - 1, mby_)) {
    total += At(mbx_ - 1, mby_).chromaTotalCoeff[comp][y * 2 + 1], ++count;
  }
  if (y > 0) {
    total += m.chromaTotalCoeff[comp][x], ++count;
  } else if (Available(mbx_, mby_ - 1)) {
    total += At(mbx_, mby_ - 1).chromaTotalCoeff[comp][2 + x], ++count;
  }
  return count == 2 ? (total + 1) >> 1 : total;
}

// Reads a block and places its dequantised coefficients from scan index
// `first` on; false on a bad block.
bool SliceDecoder::ReadBlock(int nC, int first, int maxNumCoeff, int qp, int32_t* out, int& totalCoeff) {
  int16_t levels[16] = {};
  if (!ReadResidualBlock(r_, nC, maxNumCoeff, levels, totalCoeff)) return false;
  if (totalCoeff == 0) return true;  // `out` is zero already
  const int qpDiv = qp / 6, qpMod = qp % 6;
  // Zero levels give zero coefficients: no branch for them.
  for (int k = 0; k < maxNumCoeff; ++k) {
    const int pos = scan_[first + k];
    out[pos] = ClampCoefficient(int64_t{levels[k]} * kNormAdjust[qpMod][kPositionClass[pos]] * (int64_t{1} << qpDiv));
  }
  return true;
}

// Clears only what is read without being written here: a luma block's
// coefficients are read when it has levels, and then all were written
// (Intra16x16 DCs always are); chroma blocks are read whole whenever the
// pattern codes chroma.
uint32_t SliceDecoder::ReadResidual(MbRecord& m, bool intra16, int cbp, Coefficients& co) {
  std::fill(std::begin(co.lumaCoded), std::end(co.lumaCoded), false);
  std::memset(co.chromaCoded, 0, sizeof co.chromaCoded);
  if (cbp >> 4) std::memset(co.chroma, 0, sizeof co.chroma);
  const int chromaQp = ChromaQpFor(qp_, chromaOffset_);
  if (intra16) {
    int32_t dc[16] = {};
    int16_t levels[16] = {};
    int total = 0;
    if (!ReadResidualBlock(r_, LumaNc(m, 0, 0), 16, levels, total)) return kErrResidual;
    int32_t cm[16] = {};
    for (int k = 0; k < 16; ++k) cm[scan_[k]] = levels[k];
    // f = H c H with H the 4x4 Hadamard matrix.
    int32_t t[16];
    for (int i = 0; i < 4; ++i) {
      const int32_t* row = cm + 4 * i;
      t[4 * i + 0] = row[0] + row[1] + row[2] + row[3];
      t[4 * i + 1] = row[0] + row[1] - row[2] - row[3];
      t[4 * i + 2] = row[0] - row[1] - row[2] + row[3];
      t[4 * i + 3] = row[0] - row[1] + row[2] - row[3];
    }
    const int64_t v = kNormAdjust[qp_ % 6][0];
    for (int j = 0; j < 4; ++j) {
      const int32_t f[4] = {t[j] + t[4 + j] + t[8 + j] + t[12 + j], t[j] + t[4 + j] - t[8 + j] - t[12 + j],
                            t[j] - t[4 + j] - t[8 + j] + t[12 + j], t[j] - t[4 + j] + t[8 + j] - t[12 + j]};
      for (int i = 0; i < 4; ++i) dc[i * 4 + j] = ClampCoefficient((f[i] * v * (int64_t{1} << (qp_ / 6)) + 2) >> 2);
    }
    for (int p = 0; p < 16; ++p) co.luma[p][0] = dc[p];
  }
  for (int blk = 0; blk < 16; ++blk) {
    const int x = BlockX(blk), y = BlockY(blk), p = y * 4 + x;
    if (!(cbp & (1 << (blk >> 2)))) continue;
    int total = 0;
    const bool ok = intra16 ? ReadBlock(LumaNc(m, x, y), 1, 15, qp_, co.luma[p], total)
                            : ReadBlock(LumaNc(m, x, y), 0, 16, qp_, co.luma[p], total);
    if (!ok) return kErrResidual;
    m.totalCoeff[p] = static_cast<uint8_t>(total);
    co.lumaCoded[p] = total > 0;
  }
  const int chromaCbp = cbp >> 4;
  if (chromaCbp) {
    const int64_t v = kNormAdjust[chromaQp % 6][0];
    for (int comp = 0; comp < 2; ++comp) {
      int16_t levels[4] = {};
      int total = 0;
      if (!ReadResidualBlock(r_, -1, 4, levels, total)) return kErrResidual;
      const int32_t c0 = levels[0], c1 = levels[1], c2 = levels[2], c3 = levels[3];
      const int32_t f[4] = {c0 + c1 + c2 + c3, c0 - c1 + c2 - c3, c0 + c1 - c2 - c3, c0 - c1 - c2 + c3};
      for (int b = 0; b < 4; ++b) {
        co.chroma[comp][b][0] = ClampCoefficient((f[b] * v * (int64_t{1} << (chromaQp / 6))) >> 1);
      }
    }
    if (chromaCbp & 2) {
      for (int comp = 0; comp < 2; ++comp) {
        for (int b = 0; b < 4; ++b) {
          int total = 0;
          if (!ReadBlock(ChromaNc(m, comp, b & 1, b >> 1), 1, 15, chromaQp, co.chroma[comp][b], total)) {
            return kErrResidual;
          }
          m.chromaTotalCoeff[comp][b] = static_cast<uint8_t>(total);
          co.chromaCoded[comp][b] = total > 0;
        }
      }
    }
  }
  return 0;
}

int SliceDecoder::PredictedIntraMode(const MbRecord& m, int x, int y) const {
  int modeA, modeB;
  if (x > 0) {
    modeA = m.intraModes[y * 4 + x - 1];
  } else if (IntraAvailable(mbx_ - 1, mby_)) {
    const MbRecord& n = At(mbx_ - 1, mby_);
    modeA = n.kind == MbKind::kIntra4x4 ? n.intraModes[y * 4 + 3] : 2;
  } else {
    return 2;
  }
  if (y > 0) {
    modeB = m.intraModes[(y - 1) * 4 + x];
  } else if (IntraAvailable(mbx_, mby_ - 1)) {
    const MbRecord& n = At(mbx_, mby_ - 1);
    modeB = n.kind == MbKind::kIntra4x4 ? n.intraModes[12 + x] : 2;
  } else {
    return 2;
  }
  return std::min(modeA, modeB);
}

uint32_t SliceDecoder::DecodePcm(MbRecord& m) {
  r_.AlignToByte();
  if (r_.BitsLeft() < 384 * 8) return kErrPcm;
  const uint8_t* src = r_.BytePointer();
  uint8_t* luma = planes_[0] + static_cast<size_t>(mby_) * 16 * lumaStride_ + mbx_ * 16;
  for (int y = 0; y < 16; ++y) std::memcpy(luma + y * lumaStride_, src + y * 16, 16);
  src += 256;
  const size_t offset = static_cast<size_t>(mby_) * 8 * chromaStride_ + static_cast<size_t>(mbx_) * 8;
  for (int comp = 0; comp < 2; ++comp) {
    uint8_t* chroma = planes_[1 + comp] + offset;
    for (int y = 0; y < 8; ++y) std::memcpy(chroma + y * chromaStride_, src + y * 8, 8);
    src += 64;
  }
  r_.Skip(384 * 8);
  m.kind = MbKind::kPcm;
  m.qp = 0;
  m.chromaQp = ChromaQpFor(0, chromaOffset_);
  std::fill(std::begin(m.totalCoeff), std::end(m.totalCoeff), 16);
  for (auto& comp : m.chromaTotalCoeff) std::fill(std::begin(comp), std::end(comp), 16);
  return 0;
}

MbRecord& SliceDecoder::BeginMacroblock(uint32_t addr) {
  mbx_ = static_cast<int>(addr % widthMbs_);
  mby_ = static_cast<int>(addr / widthMbs_);
  MbRecord& m = c_.mbs[addr];
  m = MbRecord{};
  m.disableDeblocking = static_cast<uint8_t>(h_.disableDeblockingFilterIdc);
  m.filterOffsetA = static_cast<int8_t>(h_.sliceAlphaC0OffsetDiv2 * 2);
  m.filterOffsetB = static_cast<int8_t>(h_.sliceBetaOffsetDiv2 * 2);
  m.chromaQpIndexOffset = static_cast<int8_t>(chromaOffset_);
  return m;
}

uint32_t SliceDecoder::DecodeMacroblock(uint32_t addr) {
  MbRecord& m = BeginMacroblock(addr);
  uint32_t mbType = r_.Ue();
  uint32_t error = 0;
  if (h_.sliceType == kSliceTypeP) {
    if (mbType > 30) return kErrMbType;
    if (mbType < 5) {
      error = DecodeInter(m, mbType);
      if (r_.Overrun()) error |= kErrTruncated;
      if (error) return error;
      m.slice = sliceId_;
      return 0;
    }
    mbType -= 5;
  }
  if (mbType > 25) return kErrMbType;
  if (mbType == 25) {
    error = DecodePcm(m);
  } else if (mbType == 0) {
    error = DecodeIntra4x4(m);
  } else {
    error = DecodeIntra16x16(m, mbType);
  }
  if (r_.Overrun()) error |= kErrTruncated;
  if (error) return error;
  m.slice = sliceId_;
  return 0;
}

uint32_t SliceDecoder::DecodeIntra4x4(MbRecord& m) {
  m.kind = MbKind::kIntra4x4;
  uint8_t prevFlag[16], rem[16];
  for (int blk = 0; blk < 16; ++blk) {
    prevFlag[blk] = static_cast<uint8_t>(r_.Bit());
    rem[blk] = prevFlag[blk] ? 0 : static_cast<uint8_t>(r_.Bits(3));
  }
  const uint32_t chromaMode = r_.Ue();
  if (chromaMode > 3) return kErrPredMode;
  const uint32_t cbpCode = r_.Ue();
  if (cbpCode > 47) return kErrCbp;
  const int cbp = kIntraCbp[cbpCode];
  if (cbp && ReadQpDelta()) return kErrQpDelta;
  SetQp(m);
  Coefficients co;
  if (const uint32_t e = ReadResidual(m, false, cbp, co)) return e;
  if (r_.Overrun()) return kErrTruncated;

  uint32_t error = 0;
  uint8_t* luma = planes_[0] + static_cast<size_t>(mby_) * 16 * lumaStride_ + mbx_ * 16;
  for (int blk = 0; blk < 16; ++blk) {
    const int x = BlockX(blk), y = BlockY(blk);
    const int predicted = PredictedIntraMode(m, x, y);
    const int mode = prevFlag[blk] ? predicted : (rem[blk] < predicted ? rem[blk] : rem[blk] + 1);
    m.intraModes[y * 4 + x] = static_cast<uint8_t>(mode);
    uint8_t* at = luma + y * 4 * lumaStride_ + x * 4;
    IntraEdge e;
    LumaEdge4(at, x, y, e);
    const bool needLeft = mode == 1 || mode == 4 || mode == 5 || mode == 6 || mode == 8;
    const bool needTop = mode == 0 || mode == 3 || mode == 4 || mode == 5 || mode == 6 || mode == 7;
    const bool needCorner = mode == 4 || mode == 5 || mode == 6;
    if ((needLeft && !e.hasLeft) || (needTop && !e.hasTop) || (needCorner && !e.hasCorner)) error |= kErrNeighbour;
    k_.intra4x4[mode](at, lumaStride_, e);
    if (co.lumaCoded[y * 4 + x]) k_.transformAdd(at, lumaStride_, co.luma[y * 4 + x]);
  }
  error |= PredictChroma(static_cast<int>(chromaMode), co, cbp);
  return error;
}

uint32_t SliceDecoder::DecodeIntra16x16(MbRecord& m, uint32_t mbType) {
  m.kind = MbKind::kIntra16x16;
  const int mode = static_cast<int>((mbType - 1) % 4);
  const int chromaCbp = static_cast<int>(((mbType - 1) / 4) % 3);
  const int cbp = (chromaCbp << 4) | (mbType >= 13 ? 15 : 0);
  const uint32_t chromaMode = r_.Ue();
  if (chromaMode > 3) return kErrPredMode;
  if (ReadQpDelta()) return kErrQpDelta;
  SetQp(m);
  Coefficients co;
  if (const uint32_t e = ReadResidual(m, true, cbp, co)) return e;
  if (r_.Overrun()) return kErrTruncated;
  std::fill(std::begin(m.intraModes), std::end(m.intraModes), 2);

  uint32_t error = 0;
  uint8_t* luma = planes_[0] + static_cast<size_t>(mby_) * 16 * lumaStride_ + mbx_ * 16;
  IntraEdge e;
  MbEdge(luma, lumaStride_, 16, e);
  if ((mode == 0 && !e.hasTop) || (mode == 1 && !e.hasLeft) || (mode == 3 && !(e.hasTop && e.hasLeft && e.hasCorner))) {
    error |= kErrNeighbour;
  }
  k_.intra16x16[mode](luma, lumaStride_, e);
  for (int p = 0; p < 16; ++p) {
    uint8_t* at = luma + (p >> 2) * 4 * lumaStride_ + (p & 3) * 4;
    if (co.lumaCoded[p]) {
      k_.transformAdd(at, lumaStride_, co.luma[p]);
    } else if (co.luma[p][0]) {
      k_.dcAdd(at, lumaStride_, co.luma[p][0]);
    }
  }
  error |= PredictChroma(static_cast<int>(chromaMode), co, cbp);
  return error;
}

uint32_t SliceDecoder::ReadRefIdx(int& out) {
  const uint32_t top = h_.numRefIdxL0ActiveMinus1;
  out = 0;
  if (top == 0) return 0;
  const uint32_t v = top == 1 ? 1 - r_.Bit() : r_.Ue();
  if (v > top) return kErrRefIdx;
  out = static_cast<int>(v);
  return 0;
}

void SliceDecoder::ReadMvd(Partition& p) {
  p.mvd[0] = r_.Se();
  p.mvd[1] = r_.Se();
}

uint32_t SliceDecoder::DecodeInter(MbRecord& m, uint32_t mbType) {
  m.kind = MbKind::kInter;
  Partition parts[16];
  int count = 0;
  int refIdx[4] = {};
  PartitionShape shape = PartitionShape::kOther;
  if (mbType < 3) {
    if (mbType == 0) {
      parts[count++] = {0, 0, 4, 4, 0, {}};
    } else if (mbType == 1) {
      shape = PartitionShape::k16x8;
      parts[count++] = {0, 0, 4, 2, 0, {}};
      parts[count++] = {0, 2, 4, 2, 2, {}};
    } else {
      shape = PartitionShape::k8x16;
      parts[count++] = {0, 0, 2, 4, 0, {}};
      parts[count++] = {2, 0, 2, 4, 1, {}};
    }
    int partRef[2] = {};
    for (int i = 0; i < count; ++i) {
      if (ReadRefIdx(partRef[i])) return kErrRefIdx;
    }
    for (int q = 0; q < 4; ++q) {
      const int owner = mbType == 0 ? 0 : mbType == 1 ? q >> 1 : q & 1;
      refIdx[q] = partRef[owner];
    }
    for (int i = 0; i < count; ++i) ReadMvd(parts[i]);
  } else {
    uint32_t sub[4];
    for (uint32_t& t : sub) {
      t = r_.Ue();
      if (t > 3) return kErrSubType;
    }
    if (mbType == 3) {
      for (int& ref : refIdx) {
        if (ReadRefIdx(ref)) return kErrRefIdx;
      }
    }
    for (int q = 0; q < 4; ++q) {
      const int qx = (q & 1) * 2, qy = (q >> 1) * 2;
      switch (sub[q]) {
        case 0: parts[count++] = {qx, qy, 2, 2, q, {}}; break;
        case 1:
          parts[count++] = {qx, qy, 2, 1, q, {}};
          parts[count++] = {qx, qy + 1, 2, 1, q, {}};
          break;
        case 2:
          parts[count++] = {qx, qy, 1, 2, q, {}};
          parts[count++] = {qx + 1, qy, 1, 2, q, {}};
          break;
        default:
          for (int i = 0; i < 4; ++i) parts[count++] = {qx + (i & 1), qy + (i >> 1), 1, 1, q, {}};
          break;
      }
    }
    for (int i = 0; i < count; ++i) ReadMvd(parts[i]);
  }
  const uint32_t cbpCode = r_.Ue();
  if (cbpCode > 47) return kErrCbp;
  const int cbp = kInterCbp[cbpCode];
  if (cbp && ReadQpDelta()) return kErrQpDelta;
  SetQp(m);
  Coefficients co;
  if (const uint32_t e = ReadResidual(m, false, cbp, co)) return e;
  if (r_.Overrun()) return kErrTruncated;

  SetReferences(m, refIdx);
  MbSamples samples;
  for (int i = 0; i < count; ++i) {
    const Partition& p = parts[i];
    const int ref = refIdx[p.quadrant];
    MvNeighbour a, b, c;
    Neighbours(m, p, a, b, c);
    int mv[2];
    PredictMv(a, b, c, ref, shape, i, mv);
    // Vectors wrap to 16 bits as the syntax bounds them.
    Predict(m, samples, p, ref, static_cast<int16_t>(int64_t{mv[0]} + p.mvd[0]),
            static_cast<int16_t>(int64_t{mv[1]} + p.mvd[1]));
  }
  MbResidual residual;
  InterResidual(co, cbp, residual);
  Reconstruct(refIdx, samples, residual, cbp);
  return 0;
}

uint32_t DecodeSliceData(AvcDecContext& context, int32_t sliceId) {
  return SliceDecoder(context, sliceId).Run();
}

}  // namespace avc
