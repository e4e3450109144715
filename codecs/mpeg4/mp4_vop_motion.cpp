// Motion vectors of inter macroblocks (differences, median prediction,
// wrap-around) and their prediction from the reference picture.
#include <algorithm>
#include <cstdlib>

#include "codecs/mpeg4/mp4_macroblock_layer.h"
#include "codecs/mpeg4/mp4_motion.h"
#include "codecs/mpeg4/mp4_tables.h"

namespace mp4_detail {
namespace {

constexpr int kLimit = 32;  // how far outside the picture a luma block may reach

int Median(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// Chroma component of a luma component: quarter-sample vectors are halved first.
int ChromaComponent(int v, bool quarter) { return Mp4ChromaFromLuma(quarter ? v / 2 : v); }

}  // namespace

int Mp4MacroblockLayer::Wrap(int v) const {
  const int f = 1 << (fcode_ - 1);
  if (v < -32 * f) v += 64 * f;
  else if (v > 32 * f - 1) v -= 64 * f;
  return v;
}

bool Mp4MacroblockLayer::ReadDifference(int& dx, int& dy) {
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

Vector Mp4MacroblockLayer::Predictor(int mbx, int mby, int block) {
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

int32_t Mp4MacroblockLayer::PredictLuma(int x, int y, int w, int h, int vx, int vy, uint8_t* dst, ptrdiff_t dstStride,
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
    return kVectorOutside;
  if (!plane.Holds(ix, frameTop, w + 1, frameBottom + 1 - frameTop)) return kVectorOutside;
  const uint8_t* src = refOrigin + ptrdiff_t(iy) * refStride + ix;
  if (quarter_) c_.kernels.predictQuarter(dst, dstStride, src, refStride, w, h, fx, fy, int(vop_.roundingType));
  else c_.kernels.predictHalf(dst, dstStride, src, refStride, w, h, fx, fy, int(vop_.roundingType));
  return 0;
}

int32_t Mp4MacroblockLayer::PredictChroma(int x, int y, int h, int cvx, int cvy, int rowStep, int dstRowOffset,
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
    if (!ref.Holds(ix, frameTop, 9, frameRows)) return kVectorOutside;
    const uint8_t* src = ref.origin + ptrdiff_t(frameTop) * ref.stride + ix;
    uint8_t* dst = cur.origin + ptrdiff_t(y * rowStep + dstRowOffset) * cur.stride + x;
    c_.kernels.predictHalf(dst, cur.stride * rowStep, src, ref.stride * rowStep, 8, h, fx, fy,
                           int(vop_.roundingType));
  }
  return 0;
}


int32_t Mp4MacroblockLayer::PredictFrame(int mbx, int mby, const Mp4MbInfo& mb, bool fourVectors) {
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

int32_t Mp4MacroblockLayer::PredictField(int mbx, int mby, const Vector field[2], const int select[2]) {
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

}  // namespace mp4_detail
