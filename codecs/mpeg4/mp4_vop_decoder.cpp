#include "codecs/mpeg4/mp4_vop_decoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/mpeg4/mp4_motion.h"
#include "codecs/mpeg4/mp4_tables.h"

namespace {

using mp4_tables::kEscape;
using mp4_tables::kStuffing;

constexpr int32_t kFail = MP4DEC_MACROBLOCK_ERROR;
constexpr int kLimit = 32;  // how far outside the picture a luma block may reach

int32_t Saturate2048(int32_t v) { return std::clamp<int32_t>(v, -2048, 2047); }

// Division rounded half away from zero (b > 0).
int32_t RoundedDiv(int32_t a, int32_t b) { return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b); }

int LumaDcScaler(int q) { return q < 5 ? 8 : q < 9 ? 2 * q : q < 25 ? q + 8 : 2 * q - 16; }
int ChromaDcScaler(int q) { return q < 5 ? 8 : q < 25 ? (q + 13) / 2 : q - 6; }

int Median(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

struct Vector {
  int x = 0, y = 0;
};

class VopDecoder {
 public:
  explicit VopDecoder(const Mp4VopContext& c)
      : c_(c), r_(c.reader), vol_(c.vol), vop_(c.vop), qp_(int(c.vop.quant)),
        quarter_(c.vol.quarterSample != 0) {}

  int32_t Run();

 private:
  Mp4MbInfo& Mb(int x, int y) { return c_.mbs[size_t(y) * size_t(c_.mbWidth) + size_t(x)]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < c_.mbWidth && y < c_.mbHeight; }

  int32_t Macroblock(int mbx, int mby);
  void NotCoded(int mbx, int mby);
  void Start(Mp4MbInfo& mb, int type);
  enum class Marker { kNone, kStartCode, kResync, kEnd };
  Marker MarkerAfterStuffing() const;

  // Vectors.
  Vector Predictor(int mbx, int mby, int block);
  bool ReadDifference(int& dx, int& dy);
  int Wrap(int v) const;

  // Prediction into the current picture.
  int32_t PredictFrame(int mbx, int mby, const Mp4MbInfo& mb, bool fourVectors);
  int32_t PredictField(int mbx, int mby, const Vector field[2], const int select[2]);
  int32_t PredictLuma(int x, int y, int w, int h, int vx, int vy, uint8_t* dst, ptrdiff_t dstStride,
                      const uint8_t* refOrigin, ptrdiff_t refStride, int rowStep, int refRowOffset,
                      bool clampToPicture);
  int32_t PredictChroma(int x, int y, int h, int cvx, int cvy, int rowStep, int dstRowOffset, int refRowOffset,
                        bool clampToPicture);

  // Texture.
  struct Coefficients {
    int count = 0;
    uint8_t position[64];  // raster position
    int32_t level[64];
  };
  int32_t ReadCoefficients(int start, bool intra, const uint8_t* scan, Coefficients& out);
  int32_t IntraBlock(int mbx, int mby, int block, bool coded, bool acPred, int16_t* out);
  int32_t InterBlock(int16_t* out);
  void DequantiseIntra(const int32_t* levels, int position, int16_t* out);
  uint8_t* BlockDestination(int mbx, int mby, int block, bool fieldDct, ptrdiff_t& stride);

  const Mp4VopContext& c_;
  Mp4BitReader& r_;
  const Mp4VolHeader& vol_;
  const Mp4VopHeader& vop_;
  int qp_;
  bool quarter_;
  int fcode_ = 1;
};

int32_t VopDecoder::Run() {
  fcode_ = int(vop_.fcode);
  bool ended = false;  // a start code ended the VOP's data early
  for (int mby = 0; mby < c_.mbHeight; ++mby) {
    for (int mbx = 0; mbx < c_.mbWidth; ++mbx) {
      if (ended) {
        NotCoded(mbx, mby);
        continue;
      }
      const int32_t rc = Macroblock(mbx, mby);
      if (rc != 0) return rc;
      if (r_.Overrun()) return kFail;
      const bool last = mby == c_.mbHeight - 1 && mbx == c_.mbWidth - 1;
      if (last) continue;
      switch (MarkerAfterStuffing()) {
        case Marker::kStartCode: ended = true; break;
        case Marker::kResync: return kFail;  // video packets are not decoded
        case Marker::kEnd: return kFail;
        case Marker::kNone:
          if (r_.AtEnd()) return kFail;
          break;
      }
    }
  }
  return 0;
}

VopDecoder::Marker VopDecoder::MarkerAfterStuffing() const {
  const int n = r_.BitsToByteBoundary();
  const uint32_t stuffing = (1u << (n - 1)) - 1;  // 0 then ones up to the boundary
  if (r_.Peek(n) != stuffing) return Marker::kNone;
  if (r_.BitsLeft() <= uint64_t(n)) return Marker::kEnd;
  const uint32_t after = r_.Peek(n + 23) & ((1u << 23) - 1);
  if (after == 0) return r_.BitsLeft() >= uint64_t(n) + 24 ? Marker::kStartCode : Marker::kEnd;
  if ((after >> 7) == 0) return Marker::kResync;  // 16 zeros: a resync marker
  return Marker::kNone;
}

void VopDecoder::NotCoded(int mbx, int mby) {
  Start(Mb(mbx, mby), -1);
  const Mp4Picture& ref = c_.reference;
  Mp4Picture& cur = c_.current;
  const ptrdiff_t luma = ptrdiff_t(mby * 16) * cur.y.stride + mbx * 16;
  const ptrdiff_t chroma = ptrdiff_t(mby * 8) * cur.u.stride + mbx * 8;
  c_.kernels.predictHalf(cur.y.origin + luma, cur.y.stride, ref.y.origin + luma, ref.y.stride, 16, 16, 0, 0, 0);
  c_.kernels.predictHalf(cur.u.origin + chroma, cur.u.stride, ref.u.origin + chroma, ref.u.stride, 8, 8, 0, 0, 0);
  c_.kernels.predictHalf(cur.v.origin + chroma, cur.v.stride, ref.v.origin + chroma, ref.v.stride, 8, 8, 0, 0, 0);
}

// Later macroblocks read a neighbour's DC and AC records only when it is
// intra, and then all six were written: type, quantiser and vectors are
// what every macroblock must set.
void VopDecoder::Start(Mp4MbInfo& mb, int type) {
  mb.type = type;
  mb.qp = qp_;
  for (int k = 0; k < 4; ++k) mb.mvx[k] = mb.mvy[k] = 0;
}

int VopDecoder::Wrap(int v) const {
  const int f = 1 << (fcode_ - 1);
  if (v < -32 * f) v += 64 * f;
  else if (v > 32 * f - 1) v -= 64 * f;
  return v;
}

bool VopDecoder::ReadDifference(int& dx, int& dy) {
  const int rsize = fcode_ - 1;
  for (int* d : {&dx, &dy}) {
    int code = 0;
    if (!ReadMp4Vlc(r_, mp4_tables::kMvd, mp4_tables::kMvdBits, code)) return false;
    if (rsize == 0 || code == 0) {
      *d = code;
    } else {
      const int residual = int(r_.Read(rsize));
      const int magnitude = ((std::abs(code) - 1) << rsize) + residual + 1;
      *d = code < 0 ? -magnitude : magnitude;
    }
  }
  return true;
}

Vector VopDecoder::Predictor(int mbx, int mby, int block) {
  struct Candidate {
    int dx, dy, slot;
  };
  // Where candidates A, B, C of each luma block sit: macroblock offset and vector slot.
  static constexpr Candidate kCandidates[4][3] = {
      {{-1, 0, 1}, {0, -1, 2}, {1, -1, 2}},
      {{0, 0, 0}, {0, -1, 3}, {1, -1, 2}},
      {{-1, 0, 3}, {0, 0, 0}, {0, 0, 1}},
      {{0, 0, 2}, {0, 0, 0}, {0, 0, 1}},
  };
  Vector v[3];
  bool valid[3];
  int invalid = 0;
  for (int i = 0; i < 3; ++i) {
    const Candidate& k = kCandidates[block][i];
    const int x = mbx + k.dx, y = mby + k.dy;
    valid[i] = Inside(x, y);
    if (valid[i]) {
      const Mp4MbInfo& mb = Mb(x, y);
      v[i] = {mb.mvx[k.slot], mb.mvy[k.slot]};
    } else {
      ++invalid;
    }
  }
  if (invalid == 3) return {};
  if (invalid == 2) {
    for (int i = 0; i < 3; ++i)
      if (valid[i]) return v[i];
  }
  return {Median(v[0].x, v[1].x, v[2].x), Median(v[0].y, v[1].y, v[2].y)};
}

int32_t VopDecoder::PredictLuma(int x, int y, int w, int h, int vx, int vy, uint8_t* dst, ptrdiff_t dstStride,
                                const uint8_t* refOrigin, ptrdiff_t refStride, int rowStep, int refRowOffset,
                                bool clampToPicture) {
  // x, y: block position in the (field) plane; rowStep 2 for field blocks.
  const int shift = quarter_ ? 2 : 1;
  const int mask = quarter_ ? 3 : 1;
  int ix = x + (vx >> shift), iy = y + (vy >> shift);
  int fx = vx & mask, fy = vy & mask;
  const Mp4Plane& plane = c_.reference.y;
  if (clampToPicture) {
    // Four-vector blocks stop at 16 samples outside the visible picture and
    // lose their fraction on its far edges, as the reference decoders do.
    ix = std::clamp(ix, -16, plane.width);
    iy = std::clamp(iy, -16, plane.height);
    if (ix == plane.width) fx = 0;
    if (iy == plane.height) fy = 0;
  }
  const int frameTop = iy * rowStep + refRowOffset;
  const int frameBottom = (iy + h) * rowStep + refRowOffset;
  if (ix < -kLimit || frameTop < -kLimit || ix + w > plane.width + kLimit ||
      frameBottom - rowStep + 1 > plane.height + kLimit)
    return -5;
  if (!plane.Holds(ix, frameTop, w + 1, frameBottom + 1 - frameTop)) return -5;
  const uint8_t* src = refOrigin + ptrdiff_t(iy) * refStride + ix;
  if (quarter_) c_.kernels.predictQuarter(dst, dstStride, src, refStride, w, h, fx, fy, int(vop_.roundingType));
  else c_.kernels.predictHalf(dst, dstStride, src, refStride, w, h, fx, fy, int(vop_.roundingType));
  return 0;
}

int32_t VopDecoder::PredictChroma(int x, int y, int h, int cvx, int cvy, int rowStep, int dstRowOffset,
                                  int refRowOffset, bool clampToPicture) {
  int ix = x + (cvx >> 1), iy = y + (cvy >> 1);
  int fx = cvx & 1, fy = cvy & 1;
  if (clampToPicture) {
    const int cw = c_.reference.y.width >> 1, ch = c_.reference.y.height >> 1;
    ix = std::clamp(ix, -8, cw);
    iy = std::clamp(iy, -8, ch);
    if (ix == cw) fx = 0;
    if (iy == ch) fy = 0;
  }
  const int frameTop = iy * rowStep + refRowOffset;
  const int frameRows = (h + 1) * rowStep;
  for (int plane = 0; plane < 2; ++plane) {
    const Mp4Plane& ref = plane ? c_.reference.v : c_.reference.u;
    Mp4Plane& cur = plane ? c_.current.v : c_.current.u;
    if (!ref.Holds(ix, frameTop, 9, frameRows)) return -5;
    const uint8_t* src = ref.origin + ptrdiff_t(frameTop) * ref.stride + ix;
    uint8_t* dst = cur.origin + ptrdiff_t(y * rowStep + dstRowOffset) * cur.stride + x;
    c_.kernels.predictHalf(dst, cur.stride * rowStep, src, ref.stride * rowStep, 8, h, fx, fy,
                           int(vop_.roundingType));
  }
  return 0;
}

// Chroma component of a luma component: quarter-sample vectors are halved first.
int ChromaComponent(int v, bool quarter) { return Mp4ChromaFromLuma(quarter ? v / 2 : v); }

int32_t VopDecoder::PredictFrame(int mbx, int mby, const Mp4MbInfo& mb, bool fourVectors) {
  Mp4Plane& y = c_.current.y;
  const Mp4Plane& ref = c_.reference.y;
  if (!fourVectors) {
    const int32_t rc = PredictLuma(mbx * 16, mby * 16, 16, 16, mb.mvx[0], mb.mvy[0],
                                   y.origin + ptrdiff_t(mby * 16) * y.stride + mbx * 16, y.stride, ref.origin,
                                   ref.stride, 1, 0, false);
    if (rc) return rc;
    return PredictChroma(mbx * 8, mby * 8, 8, ChromaComponent(mb.mvx[0], quarter_),
                         ChromaComponent(mb.mvy[0], quarter_), 1, 0, 0, false);
  }
  int sx = 0, sy = 0;
  for (int k = 0; k < 4; ++k) {
    const int bx = mbx * 16 + 8 * (k & 1), by = mby * 16 + 8 * (k >> 1);
    const int32_t rc = PredictLuma(bx, by, 8, 8, mb.mvx[k], mb.mvy[k], y.origin + ptrdiff_t(by) * y.stride + bx,
                                   y.stride, ref.origin, ref.stride, 1, 0, true);
    if (rc) return rc;
    sx += quarter_ ? mb.mvx[k] / 2 : mb.mvx[k];
    sy += quarter_ ? mb.mvy[k] / 2 : mb.mvy[k];
  }
  return PredictChroma(mbx * 8, mby * 8, 8, Mp4ChromaFromSum4(sx), Mp4ChromaFromSum4(sy), 1, 0, 0, true);
}

int32_t VopDecoder::PredictField(int mbx, int mby, const Vector field[2], const int select[2]) {
  Mp4Plane& y = c_.current.y;
  const Mp4Plane& ref = c_.reference.y;
  for (int f = 0; f < 2; ++f) {
    const Vector v = field[f];
    uint8_t* dst = y.origin + ptrdiff_t(mby * 16 + f) * y.stride + mbx * 16;
    const uint8_t* refField = ref.origin + ptrdiff_t(select[f]) * ref.stride;
    // Quarter-sample field blocks go as two 8-wide halves, as the reference
    // decoders filter them.
    const int halves = quarter_ ? 2 : 1;
    const int w = 16 / halves;
    for (int h = 0; h < halves; ++h) {
      const int32_t rc = PredictLuma(mbx * 16 + h * w, mby * 8, w, 8, v.x, v.y, dst + h * w, y.stride * 2,
                                     refField, ref.stride * 2, 2, select[f], false);
      if (rc) return rc;
    }
    // Quarter-sample field vectors halve their vertical component with a
    // shift (rounding down), not a division, as the reference decoders do.
    const int cy = Mp4ChromaFromLuma(quarter_ ? v.y >> 1 : v.y);
    const int32_t rc = PredictChroma(mbx * 8, mby * 4, 4, ChromaComponent(v.x, quarter_), cy, 2, f, select[f], false);
    if (rc) return rc;
  }
  return 0;
}

uint8_t* VopDecoder::BlockDestination(int mbx, int mby, int block, bool fieldDct, ptrdiff_t& stride) {
  if (block >= 4) {
    Mp4Plane& p = block == 4 ? c_.current.u : c_.current.v;
    stride = p.stride;
    return p.origin + ptrdiff_t(mby * 8) * p.stride + mbx * 8;
  }
  Mp4Plane& p = c_.current.y;
  const int x = mbx * 16 + 8 * (block & 1);
  if (fieldDct) {
    stride = p.stride * 2;
    return p.origin + ptrdiff_t(mby * 16 + (block >> 1)) * p.stride + x;
  }
  stride = p.stride;
  return p.origin + ptrdiff_t(mby * 16 + 8 * (block >> 1)) * p.stride + x;
}

// Reads coefficient events from scan position `start` on.
int32_t VopDecoder::ReadCoefficients(int start, bool intra, const uint8_t* scan, Coefficients& out) {
  const auto& table = intra ? mp4_tables::kIntraCoef : mp4_tables::kInterCoef;
  const auto& limits = intra ? mp4_tables::kIntraLimits : mp4_tables::kInterLimits;
  const int32_t badCode = intra ? MP4DEC_ERR_INTRA_VLC : MP4DEC_ERR_INTER_VLC;
  int i = start;
  for (;;) {
    // The common event read at once: code and sign bit from one peek.
    const uint32_t bits = r_.Peek(mp4_tables::kCoefBits + 1);
    const Mp4VlcEntry& e = table[bits >> 1];
    if (e.length == 0) return badCode;
    int event = e.value;
    int last, run, level;
    if (event != kEscape) {
      r_.Skip(e.length + 1);
      last = event >> 12;
      run = (event >> 6) & 63;
      level = event & 63;
      if ((bits >> (mp4_tables::kCoefBits - e.length)) & 1) level = -level;
    } else {
      r_.Skip(e.length);
      if (!r_.ReadBit()) {  // mode 1: level beyond the table's largest
        if (!ReadMp4Vlc(r_, table, mp4_tables::kCoefBits, event) || event == kEscape) return MP4DEC_ERR_INTRA_VLC;
        last = event >> 12;
        run = (event >> 6) & 63;
        level = (event & 63) + limits.maxLevel[last][run];
        if (r_.ReadBit()) level = -level;
      } else if (!r_.ReadBit()) {  // mode 2: run beyond the table's longest
        if (!ReadMp4Vlc(r_, table, mp4_tables::kCoefBits, event) || event == kEscape) return MP4DEC_ERR_INTRA_VLC;
        last = event >> 12;
        level = event & 63;
        run = ((event >> 6) & 63) + limits.maxRun[last][level] + 1;
        if (r_.ReadBit()) level = -level;
      } else {  // mode 3: fixed-length
        last = int(r_.Read(1));
        run = int(r_.Read(6));
        r_.Skip(1);
        level = int(r_.Read(12));
        if (level & 0x800) level -= 0x1000;
        r_.Skip(1);
        if (level == 0 || level == -2048) return MP4DEC_ERR_INTRA_VLC;
      }
    }
    i += run;
    if (i > 63) return -4;
    out.position[out.count] = scan[i];
    out.level[out.count] = level;
    ++out.count;
    ++i;
    if (last) return 0;
    if (r_.Overrun()) return kFail;
  }
}

// F = level x 2Q + sign x (Q, less 1 when Q is even): H.263 quantisation.
int32_t H263Dequantise(int32_t level, int q) {
  const int add = (q & 1) ? q : q - 1;
  return Saturate2048(level > 0 ? level * 2 * q + add : level * 2 * q - add);
}

void VopDecoder::DequantiseIntra(const int32_t* levels, int i, int16_t* out) {
  const int32_t l = levels[i];
  if (l == 0) return;
  out[i] = int16_t(vol_.quantType == 0 ? H263Dequantise(l, qp_)
                                       : Saturate2048(2 * l * vol_.intraMatrix[size_t(i)] * qp_ / 16));
}

int32_t VopDecoder::InterBlock(int16_t* out) {
  const uint8_t* scan =
      vop_.alternateVerticalScan ? mp4_tables::kAlternateVertical.data() : mp4_tables::kZigzag.data();
  Coefficients c;
  const int32_t rc = ReadCoefficients(0, false, scan, c);
  if (rc) return rc;
  const int q = qp_;
  if (vol_.quantType == 0) {
    for (int k = 0; k < c.count; ++k) out[c.position[k]] = int16_t(H263Dequantise(c.level[k], q));
    return 0;
  }
  for (int k = 0; k < c.count; ++k) {
    const int32_t l = c.level[k];
    const uint8_t pos = c.position[k];
    out[pos] = int16_t(Saturate2048((2 * l + (l > 0 ? 1 : -1)) * vol_.interMatrix[pos] * q / 16));
  }
  int32_t sum = 0;
  for (int k = 0; k < 64; ++k) sum += out[k];
  if ((sum & 1) == 0) out[63] = int16_t(out[63] ^ 1);
  return 0;
}

int32_t VopDecoder::IntraBlock(int mbx, int mby, int block, bool coded, bool acPred, int16_t* out) {
  const bool luma = block < 4;
  const int scaler = luma ? LumaDcScaler(qp_) : ChromaDcScaler(qp_);

  int size = 0;
  const bool sized = luma ? ReadMp4Vlc(r_, mp4_tables::kDcSizeLuma, mp4_tables::kDcSizeLumaBits, size)
                          : ReadMp4Vlc(r_, mp4_tables::kDcSizeChroma, mp4_tables::kDcSizeChromaBits, size);
  if (!sized) return MP4DEC_ERR_INTRA_VLC;
  int32_t differential = 0;
  if (size > 0) {
    const int32_t v = int32_t(r_.Read(size));
    differential = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
    if (size > 8) r_.Skip(1);
  }

  // Neighbours: A left, B above-left, C above, as (macroblock offset, block).
  struct Where {
    int dx, dy, block;
  };
  static constexpr Where kA[6] = {{-1, 0, 1}, {0, 0, 0}, {-1, 0, 3}, {0, 0, 2}, {-1, 0, 4}, {-1, 0, 5}};
  static constexpr Where kB[6] = {{-1, -1, 3}, {0, -1, 2}, {-1, 0, 1}, {0, 0, 0}, {-1, -1, 4}, {-1, -1, 5}};
  static constexpr Where kC[6] = {{0, -1, 2}, {0, -1, 3}, {0, 0, 0}, {0, 0, 1}, {0, -1, 4}, {0, -1, 5}};
  auto find = [&](const Where& w) -> const Mp4MbInfo* {
    const int x = mbx + w.dx, y = mby + w.dy;
    if (!Inside(x, y)) return nullptr;
    const Mp4MbInfo& mb = Mb(x, y);
    return (mb.type == 3 || mb.type == 4) ? &mb : nullptr;
  };
  const Mp4MbInfo* a = find(kA[block]);
  const Mp4MbInfo* b = find(kB[block]);
  const Mp4MbInfo* cc = find(kC[block]);
  const int32_t dcA = a ? a->dc[kA[block].block] : 1024;
  const int32_t dcB = b ? b->dc[kB[block].block] : 1024;
  const int32_t dcC = cc ? cc->dc[kC[block].block] : 1024;
  const bool fromAbove = std::abs(dcA - dcB) < std::abs(dcB - dcC);
  const int32_t predicted = RoundedDiv(fromAbove ? dcC : dcA, scaler);
  const int32_t dc = Saturate2048((differential + predicted) * scaler);

  const uint8_t* scan = mp4_tables::kZigzag.data();
  if (vop_.alternateVerticalScan) scan = mp4_tables::kAlternateVertical.data();
  else if (acPred) scan = fromAbove ? mp4_tables::kAlternateHorizontal.data() : mp4_tables::kAlternateVertical.data();

  int32_t levels[64] = {};
  Coefficients c;
  if (coded) {
    const int32_t rc = ReadCoefficients(1, true, scan, c);
    if (rc) return rc;
    for (int k = 0; k < c.count; ++k) levels[c.position[k]] = c.level[k];
  }

  if (acPred) {
    const Mp4MbInfo* p = fromAbove ? cc : a;
    if (p) {
      const int pb = fromAbove ? kC[block].block : kA[block].block;
      const int32_t* values = fromAbove ? p->row[pb] : p->col[pb];
      const int pq = p->qp;
      for (int k = 0; k < 7; ++k) {
        int32_t v = values[k];
        if (pq != qp_ && v != 0) v = RoundedDiv(v * pq, qp_);
        levels[fromAbove ? k + 1 : (k + 1) * 8] += v;
      }
    }
  }

  Mp4MbInfo& mb = Mb(mbx, mby);
  mb.dc[block] = dc;
  for (int k = 0; k < 7; ++k) {
    mb.row[block][k] = std::clamp<int32_t>(levels[k + 1], -65536, 65535);
    mb.col[block][k] = std::clamp<int32_t>(levels[(k + 1) * 8], -65536, 65535);
  }
  out[0] = int16_t(dc);
  // The coded positions, and the first row or column when predicted.
  for (int k = 0; k < c.count; ++k) DequantiseIntra(levels, c.position[k], out);
  if (acPred)
    for (int k = 1; k < 8; ++k) DequantiseIntra(levels, fromAbove ? k : k * 8, out);
  return 0;
}

int32_t VopDecoder::Macroblock(int mbx, int mby) {
  const bool pVop = vop_.codingType == 1;
  if (pVop && r_.ReadBit()) {
    NotCoded(mbx, mby);
    return 0;
  }
  int mcbpc = 0;
  for (;;) {
    const bool ok = pVop ? ReadMp4Vlc(r_, mp4_tables::kMcbpcInter, mp4_tables::kMcbpcInterBits, mcbpc)
                         : ReadMp4Vlc(r_, mp4_tables::kMcbpcIntra, mp4_tables::kMcbpcIntraBits, mcbpc);
    if (!ok) return MP4DEC_ERR_MCBPC;
    if (mcbpc != kStuffing) break;
    if (r_.Overrun()) return kFail;
    // After stuffing a P-VOP macroblock starts again with not_coded.
    if (pVop && r_.ReadBit()) {
      NotCoded(mbx, mby);
      return 0;
    }
  }
  const int type = mcbpc >> 2;
  const bool intra = type >= 3;
  const bool acPred = intra && r_.ReadBit();
  int cbpy = 0;
  if (!ReadMp4Vlc(r_, mp4_tables::kCbpy, mp4_tables::kCbpyBits, cbpy)) return kFail;
  if (!intra) cbpy = 15 - cbpy;
  if (type == 1 || type == 4) {
    static constexpr int kDquant[4] = {-1, -2, 1, 2};
    qp_ = std::clamp(qp_ + kDquant[r_.Read(2)], 1, 31);
  }
  if (intra && vop_.intraDcVlcThreshold != 0 &&
      (vop_.intraDcVlcThreshold == 7 || qp_ >= 11 + 2 * int(vop_.intraDcVlcThreshold)))
    return MP4DEC_ERR_UNSUPPORTED_VOP;  // DC coded in the coefficient table
  const int cbp = cbpy << 2 | (mcbpc & 3);
  bool fieldDct = false, fieldPred = false;
  int select[2] = {0, 1};
  if (vol_.interlaced) {
    if (intra || cbp) fieldDct = r_.ReadBit();
    if (type == 0 || type == 1) {
      fieldPred = r_.ReadBit();
      if (fieldPred) {
        select[0] = int(r_.Read(1));
        select[1] = int(r_.Read(1));
      }
    }
  }

  Mp4MbInfo& mb = Mb(mbx, mby);
  Start(mb, fieldPred ? 9 + 2 * select[0] + select[1] : type);

  alignas(16) int16_t block[64];
  if (intra) {
      for (int k = 0; k < 6; ++k) {
      std::memset(block, 0, sizeof block);
      const int32_t rc = IntraBlock(mbx, mby, k, (cbp >> (5 - k)) & 1, acPred, block);
      if (rc) return rc;
      c_.kernels.idct(block);
      ptrdiff_t stride = 0;
      uint8_t* dst = BlockDestination(mbx, mby, k, fieldDct, stride);
      c_.kernels.putBlock(block, dst, stride);
    }
    return 0;
  }

  int32_t rc = 0;
  if (fieldPred) {
    const Vector p = Predictor(mbx, mby, 0);
    Vector field[2];
    for (auto& f : field) {
      int dx = 0, dy = 0;
      if (!ReadDifference(dx, dy)) return kFail;
      f = {Wrap(p.x + dx), Wrap(p.y / 2 + dy)};
    }
    // Later macroblocks predict from the average of the two field vectors,
    // the vertical components counted in frame lines.
    const int sx = field[0].x + field[1].x, sy = 2 * (field[0].y + field[1].y);
    for (int k = 0; k < 4; ++k) {
      mb.mvx[k] = (sx >> 1) | (sx & 1);
      mb.mvy[k] = (sy >> 1) | (sy & 1);
    }
    rc = PredictField(mbx, mby, field, select);
  } else if (type == 2) {
    for (int k = 0; k < 4; ++k) {
      const Vector p = Predictor(mbx, mby, k);
      int dx = 0, dy = 0;
      if (!ReadDifference(dx, dy)) return kFail;
      mb.mvx[k] = Wrap(p.x + dx);
      mb.mvy[k] = Wrap(p.y + dy);
    }
    rc = PredictFrame(mbx, mby, mb, true);
  } else {
    const Vector p = Predictor(mbx, mby, 0);
    int dx = 0, dy = 0;
    if (!ReadDifference(dx, dy)) return kFail;
    const int x = Wrap(p.x + dx), y = Wrap(p.y + dy);
    for (int k = 0; k < 4; ++k) {
      mb.mvx[k] = x;
      mb.mvy[k] = y;
    }
    rc = PredictFrame(mbx, mby, mb, false);
  }
  if (rc) return rc;

  for (int k = 0; k < 6; ++k) {
    if (!((cbp >> (5 - k)) & 1)) continue;
    std::memset(block, 0, sizeof block);
    rc = InterBlock(block);
    if (rc) return rc;
    c_.kernels.idct(block);
    ptrdiff_t stride = 0;
    uint8_t* dst = BlockDestination(mbx, mby, k, fieldDct, stride);
    c_.kernels.addBlock(block, dst, stride);
  }
  return 0;
}

}  // namespace

int32_t DecodeMp4VopMacroblocks(const Mp4VopContext& context) {
  VopDecoder decoder(context);
  const int32_t rc = decoder.Run();
  if (rc == 0 || rc == MP4DEC_ERR_UNSUPPORTED_VOP) return rc;
  return MP4DEC_MACROBLOCK_ERROR;
}
