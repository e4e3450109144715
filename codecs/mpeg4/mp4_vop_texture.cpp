// Texture: coefficient events, intra DC and AC prediction, and the two
// inverse quantisations.
#include <algorithm>
#include <cstdlib>

#include "codecs/mpeg4/mp4_macroblock_layer.h"
#include "codecs/mpeg4/mp4_tables.h"

namespace mp4_detail {
namespace {

using mp4_tables::kEscape;

int32_t Saturate2048(int32_t v) { return std::clamp<int32_t>(v, -2048, 2047); }

// Division rounded half away from zero (b > 0).
int32_t RoundedDiv(int32_t a, int32_t b) { return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b); }

int LumaDcScaler(int q) { return q < 5 ? 8 : q < 9 ? 2 * q : q < 25 ? q + 8 : 2 * q - 16; }
int ChromaDcScaler(int q) { return q < 5 ? 8 : q < 25 ? (q + 13) / 2 : q - 6; }

// F = level x 2Q + sign x (Q, less 1 when Q is even): H.263 quantisation.
int32_t H263Dequantise(int32_t level, int q) {
  const int add = (q & 1) ? q : q - 1;
  return Saturate2048(level > 0 ? level * 2 * q + add : level * 2 * q - add);
}

}  // namespace

// Reads coefficient events from scan position `start` on.
int32_t Mp4MacroblockLayer::ReadCoefficients(int start, bool intra, const uint8_t* scan, Coefficients& out) {
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
    if (i > 63) return kPositionPast63;
    out.position[out.count] = scan[i];
    out.level[out.count] = level;
    ++out.count;
    ++i;
    if (last) return 0;
    if (r_.Overrun()) return kFail;
  }
}


void Mp4MacroblockLayer::DequantiseIntra(const int32_t* levels, int i, int16_t* out) {
  const int32_t l = levels[i];
  if (l == 0) return;
  out[i] = int16_t(vol_.quantType == 0 ? H263Dequantise(l, qp_)
                                       : Saturate2048(2 * l * vol_.intraMatrix[size_t(i)] * qp_ / 16));
}

int32_t Mp4MacroblockLayer::InterBlock(int16_t* out) {
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

int32_t Mp4MacroblockLayer::IntraBlock(int mbx, int mby, int block, bool coded, bool acPred, int16_t* out) {
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

}  // namespace mp4_detail
