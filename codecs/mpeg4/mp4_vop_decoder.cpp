#include "codecs/mpeg4/mp4_vop_decoder.h"

#include <algorithm>

#include "codecs/mpeg4/mp4_macroblock_layer.h"
#include "codecs/mpeg4/mp4_tables.h"

namespace mp4_detail {

using mp4_tables::kStuffing;

int32_t Mp4MacroblockLayer::Run() {
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
        case Marker::kResync: return MP4DEC_ERR_VIDEO_PACKETS;
        case Marker::kEnd: return kFail;
        case Marker::kNone:
          if (r_.AtEnd()) return kFail;
          break;
      }
    }
  }
  return 0;
}

Mp4MacroblockLayer::Marker Mp4MacroblockLayer::MarkerAfterStuffing() const {
  const int n = r_.BitsToByteBoundary();
  const uint32_t stuffing = (1u << (n - 1)) - 1;  // 0 then ones up to the boundary
  if (r_.Peek(n) != stuffing) return Marker::kNone;
  if (r_.BitsLeft() <= uint64_t(n)) return Marker::kEnd;
  const uint32_t after = r_.Peek(n + 23) & ((1u << 23) - 1);
  if (after == 0) return r_.BitsLeft() >= uint64_t(n) + 24 ? Marker::kStartCode : Marker::kEnd;
  if ((after >> 7) == 0) return Marker::kResync;  // 16 zeros: a resync marker
  return Marker::kNone;
}

void Mp4MacroblockLayer::NotCoded(int mbx, int mby) {
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
void Mp4MacroblockLayer::Start(Mp4MbInfo& mb, int type) {
  mb.type = type;
  mb.qp = qp_;
  for (int k = 0; k < 4; ++k) mb.mvx[k] = mb.mvy[k] = 0;
}

uint8_t* Mp4MacroblockLayer::BlockDestination(int mbx, int mby, int block, bool fieldDct, ptrdiff_t& stride) {
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

int32_t Mp4MacroblockLayer::Macroblock(int mbx, int mby) {
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

}  // namespace mp4_detail

int32_t DecodeMp4VopMacroblocks(const Mp4VopContext& context) {
  mp4_detail::Mp4MacroblockLayer decoder(context);
  const int32_t rc = decoder.Run();
  if (rc == 0 || rc == MP4DEC_ERR_UNSUPPORTED_VOP || rc == MP4DEC_ERR_VIDEO_PACKETS) return rc;
  return MP4DEC_MACROBLOCK_ERROR;
}
