#include "tools/h264rewrite/rewriter.h"

#include <algorithm>

#include "tools/h264rewrite/annexb_units.h"
#include "tools/h264rewrite/rbsp_bits.h"
#include "tools/h264rewrite/weight_tables.h"

namespace h264rewrite {

namespace {

struct SpsFields {
  bool known = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t writtenLog2MaxFrameNum = 4;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool deltaPicOrderAlwaysZero = false;
  bool frameMbsOnly = true;
};

struct PpsFields {
  bool known = false;
  uint32_t spsId = 0;
  bool cabac = false;
  bool picOrderPresent = false;
  uint32_t numRefIdxL0DefaultMinus1 = 0;
  bool weightedPred = false;
  bool deblockingControlPresent = false;
  bool redundantPicCntPresent = false;
};

class Rewriter {
 public:
  explicit Rewriter(Mode mode) : mode_(mode) {}

  // The unit's new payload (NAL header byte included), or nullopt.
  std::optional<std::vector<uint8_t>> Unit(const std::vector<uint8_t>& rbsp, std::string& error) {
    if (rbsp.empty()) return rbsp;
    const uint32_t type = rbsp[0] & 31;
    if (type == 7) return Sps(rbsp, error);
    if (type == 8) return Pps(rbsp, error);
    if (type == 1 || type == 5) return Slice(rbsp, error);
    return rbsp;
  }

 private:
  std::optional<std::vector<uint8_t>> Sps(const std::vector<uint8_t>& rbsp, std::string& error) {
    RbspReader r(rbsp);
    RbspWriter w;
    w.U(r.U(8), 8);
    const uint32_t profile = r.U(8);
    w.U(profile, 8);
    w.U(r.U(8), 8);  // constraint flags
    const uint32_t level = r.U(8);
    const bool rewrite = mode_ == Mode::kNoRefFramesLevel10;
    w.U(rewrite ? 10 : level, 8);
    const uint32_t id = r.Ue();
    w.Ue(id);
    if (id > 31 || !(profile == 66 || profile == 77 || profile == 88)) {
      error = "sequence parameter set of profile " + std::to_string(profile) + " not handled";
      return std::nullopt;
    }
    SpsFields f;
    f.log2MaxFrameNum = r.Ue() + 4;
    f.writtenLog2MaxFrameNum = mode_ == Mode::kNonReferenceThirds ? 4 : f.log2MaxFrameNum;
    w.Ue(f.writtenLog2MaxFrameNum - 4);
    f.pocType = r.Ue();
    if (mode_ == Mode::kPocType0) {
      if (f.pocType != 2) {
        error = "only picture order count type 2 is rewritten to type 0";
        return std::nullopt;
      }
      w.Ue(0);
      w.Ue(8 - 4);  // log2_max_pic_order_cnt_lsb_minus4
    } else {
      w.Ue(f.pocType);
    }
    if (f.pocType == 0) {
      f.log2MaxPocLsb = r.Ue() + 4;
      w.Ue(f.log2MaxPocLsb - 4);
    } else if (f.pocType == 1) {
      f.deltaPicOrderAlwaysZero = r.U(1);
      w.U(f.deltaPicOrderAlwaysZero, 1);
      w.Se(r.Se());
      w.Se(r.Se());
      const uint32_t cycle = r.Ue();
      w.Ue(cycle);
      for (uint32_t i = 0; i < cycle && !r.Failed(); ++i) w.Se(r.Se());
    }
    const uint32_t refFrames = r.Ue();
    const bool gaps = mode_ == Mode::kFrameNumGaps;
    // Gaps of two frames, or two long-term frames: short-term references
    // must still fit beside them.
    w.Ue(rewrite ? 0 : gaps || mode_ == Mode::kLongTermMarking ? std::max(refFrames, 4u) : refFrames);
    const uint32_t gapsAllowed = r.U(1);
    w.U(gaps ? 1 : gapsAllowed, 1);
    w.Ue(r.Ue());
    w.Ue(r.Ue());
    f.frameMbsOnly = r.U(1);
    w.U(f.frameMbsOnly, 1);
    if (r.Failed()) {
      error = "truncated sequence parameter set";
      return std::nullopt;
    }
    // The rest (adaptive frame/field, 8x8 inference, cropping, VUI and the
    // trailing bits) as it stands.
    w.CopyBits(rbsp, r.Position(), rbsp.size() * 8);
    f.known = true;
    sps_[id] = f;
    return w.Bytes();
  }

  std::optional<std::vector<uint8_t>> Pps(const std::vector<uint8_t>& rbsp, std::string& error) {
    RbspReader r(rbsp);
    r.U(8);
    const uint32_t id = r.Ue();
    PpsFields f;
    f.spsId = r.Ue();
    f.cabac = r.U(1);
    f.picOrderPresent = r.U(1);
    if (r.Ue() != 0) {
      error = "slice groups not handled";
      return std::nullopt;
    }
    f.numRefIdxL0DefaultMinus1 = r.Ue();
    r.Ue();
    const size_t weightedAt = r.Position();
    f.weightedPred = r.U(1);
    r.U(2);
    r.Se();
    r.Se();
    r.Se();
    f.deblockingControlPresent = r.U(1);
    r.U(1);
    f.redundantPicCntPresent = r.U(1);
    if (r.Failed() || id > 255 || f.spsId > 31 || f.cabac) {
      error = "picture parameter set not handled";
      return std::nullopt;
    }
    f.known = true;
    pps_[id] = f;
    if (mode_ != Mode::kExplicitWeights) return rbsp;  // nothing of it changes
    RbspWriter w;
    w.CopyBits(rbsp, 0, weightedAt);
    w.U(1, 1);
    w.CopyBits(rbsp, weightedAt + 1, rbsp.size() * 8);
    return w.Bytes();
  }

  // The first picture after an IDR picture allows long-term indices 0 and
  // 1; every fourth one unmarks the picture before it and becomes
  // long-term itself, the two indices taking turns.
  void WriteLongTermMarking(RbspWriter& w) const {
    const bool first = picturesSinceIdr_ == 1, fourth = picturesSinceIdr_ % 4 == 0;
    w.U(first || fourth, 1);
    if (first) {
      w.Ue(4);
      w.Ue(2);
    }
    if (fourth) {
      w.Ue(1);
      w.Ue(0);
      w.Ue(6);
      w.Ue((picturesSinceIdr_ / 4) % 2);
    }
    if (first || fourth) w.Ue(0);
  }

  std::optional<std::vector<uint8_t>> Slice(const std::vector<uint8_t>& rbsp, std::string& error) {
    RbspReader r(rbsp);
    RbspWriter w;
    const uint32_t header = r.U(8);
    const uint32_t nalRefIdc = (header >> 5) & 3;
    const bool idr = (header & 31) == 5;
    const uint32_t firstMb = r.Ue();
    const uint32_t sliceType = r.Ue();
    const uint32_t ppsId = r.Ue();
    if (ppsId > 255 || !pps_[ppsId].known || !sps_[pps_[ppsId].spsId].known) {
      error = "slice without its parameter sets";
      return std::nullopt;
    }
    const PpsFields& pps = pps_[ppsId];
    const SpsFields& sps = sps_[pps.spsId];
    if (firstMb == 0) {
      if (idr) ++idrPictures_;
      ++pictures_;
    }
    const bool laterIdr = idr && idrPictures_ > 1;
    const bool toI = mode_ == Mode::kIdrToI && laterIdr;
    if (idr && !laterIdr) picturesSinceIdr_ = 0;
    if (firstMb == 0 && !(idr && !laterIdr)) ++picturesSinceIdr_;

    // Every third picture after the IDR picture stops being a reference;
    // frame_num then counts reference pictures only.
    const bool thirds = mode_ == Mode::kNonReferenceThirds;
    const bool dropReference = thirds && !idr && picturesSinceIdr_ % 3 == 2;
    if (thirds && idr) referencesSinceIdr_ = 0;
    if (thirds && firstMb == 0) {
      thirdsFrameNum_ = referencesSinceIdr_;
      if (nalRefIdc && !dropReference) ++referencesSinceIdr_;
    }
    const uint32_t thirdsFrameNum = thirdsFrameNum_;
    const uint32_t newHeader = dropReference ? header & 0x9Fu : header;
    w.U(toI ? (header & ~31u) | 1 : newHeader, 8);
    w.Ue(firstMb);
    w.Ue(sliceType);
    w.Ue(ppsId);
    const uint32_t frameNum = r.U(static_cast<int>(sps.log2MaxFrameNum));
    const uint32_t maxFrameNum = 1u << sps.log2MaxFrameNum;
    const bool gaps = mode_ == Mode::kFrameNumGaps && !idr;
    if (thirds) {
      w.U(thirdsFrameNum % 16, 4);
    } else {
      w.U(toI ? picturesSinceIdr_ % maxFrameNum : gaps ? (3 * picturesSinceIdr_) % maxFrameNum : frameNum,
          static_cast<int>(sps.log2MaxFrameNum));
    }
    bool field = false;
    if (!sps.frameMbsOnly) {
      field = r.U(1);
      w.U(field, 1);
      if (field) w.U(r.U(1), 1);
    }
    if (idr) {
      const uint32_t idrPicId = r.Ue();
      if (!toI) w.Ue(idrPicId);
    }
    if (mode_ == Mode::kPocType0) {
      // Output order is decoding order: two counts per frame from each IDR.
      if (firstMb == 0) pocSinceIdr_ = idr ? 0 : pocSinceIdr_ + 2;
      w.U(pocSinceIdr_ % 256, 8);
    } else if (sps.pocType == 0) {
      const uint32_t lsb = r.U(static_cast<int>(sps.log2MaxPocLsb));
      const uint32_t maxLsb = 1u << sps.log2MaxPocLsb;
      w.U(toI ? (2 * picturesSinceIdr_) % maxLsb : lsb, static_cast<int>(sps.log2MaxPocLsb));
      if (pps.picOrderPresent && !field) w.Se(r.Se());
    } else if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
      w.Se(r.Se());
      if (pps.picOrderPresent && !field) w.Se(r.Se());
    }
    if (pps.redundantPicCntPresent) w.Ue(r.Ue());
    const uint32_t type = sliceType % 5;
    if (type != 0 && type != 2) {
      error = "only I and P slices are handled";
      return std::nullopt;
    }
    if (type == 0) {
      uint32_t refIdxMinus1 = pps.numRefIdxL0DefaultMinus1;
      const uint32_t override = r.U(1);
      w.U(override, 1);
      if (override) {
        refIdxMinus1 = r.Ue();
        w.Ue(refIdxMinus1);
      }
      const uint32_t reordering = r.U(1);
      if (gaps) {
        if (reordering || refIdxMinus1 != 0) {
          error = "frame_num gaps need a stream of one reference without reordering";
          return std::nullopt;
        }
        // The previous picture is three PicNums back, behind two gap frames.
        w.U(1, 1);
        w.Ue(0);
        w.Ue(2);
        w.Ue(3);
      } else {
        w.U(reordering, 1);
      }
      for (int i = 0; reordering && i < 33; ++i) {
        const uint32_t idc = r.Ue();
        w.Ue(idc);
        if (idc == 3 || r.Failed()) break;
        w.Ue(r.Ue());
      }
      if (mode_ == Mode::kExplicitWeights && !pps.weightedPred) {
        WriteVaryingWeights(w, refIdxMinus1, pictures_);
      } else if (pps.weightedPred) {
        w.Ue(r.Ue());
        w.Ue(r.Ue());
        for (uint32_t i = 0; i <= refIdxMinus1 && !r.Failed(); ++i) {
          for (int part = 0; part < 2; ++part) {
            const uint32_t flag = r.U(1);
            w.U(flag, 1);
            for (int n = 0; flag && n < (part == 0 ? 2 : 4); ++n) w.Se(r.Se());
          }
        }
      }
    }
    if (nalRefIdc) {
      if (idr) {
        const uint32_t noOutput = r.U(1);
        const uint32_t longTerm = r.U(1);
        if (toI) {
          w.U(0, 1);  // adaptive_ref_pic_marking_mode_flag
        } else {
          w.U(mode_ == Mode::kNoOutputOfPriorPics && laterIdr ? 1 : noOutput, 1);
          w.U(longTerm, 1);
        }
      } else {
        const uint32_t adaptive = r.U(1);
        if (dropReference && adaptive) {
          error = "non-reference pictures cannot keep marking operations";
          return std::nullopt;
        }
        if (mode_ == Mode::kLongTermMarking) {
          if (adaptive) {
            error = "the stream has marking operations of its own";
            return std::nullopt;
          }
          WriteLongTermMarking(w);
        } else if (!dropReference) {
          w.U(adaptive, 1);
        }
        for (int i = 0; adaptive && i < 33; ++i) {
          const uint32_t op = r.Ue();
          w.Ue(op);
          if (op == 0 || r.Failed()) break;
          if (op == 1 || op == 3) w.Ue(r.Ue());
          if (op == 2) w.Ue(r.Ue());
          if (op == 3 || op == 6) w.Ue(r.Ue());
          if (op == 4) w.Ue(r.Ue());
        }
      }
    }
    w.Se(r.Se());  // slice_qp_delta
    if (pps.deblockingControlPresent) {
      const uint32_t idc = r.Ue();
      w.Ue(idc);
      if (idc != 1) {
        w.Se(r.Se());
        w.Se(r.Se());
      }
    }
    if (r.Failed()) {
      error = "truncated slice header";
      return std::nullopt;
    }
    w.CopyBits(rbsp, r.Position(), rbsp.size() * 8);
    return w.Bytes();
  }

  Mode mode_;
  SpsFields sps_[32];
  PpsFields pps_[256];
  uint32_t idrPictures_ = 0;
  uint32_t pictures_ = 0;
  uint32_t picturesSinceIdr_ = 0;
  uint32_t referencesSinceIdr_ = 0;
  uint32_t thirdsFrameNum_ = 0;  // frame_num of the current picture
  uint32_t pocSinceIdr_ = 0;
};

}  // namespace

std::optional<Mode> ModeNamed(const std::string& name) {
  if (name == "idr-to-i") return Mode::kIdrToI;
  if (name == "no-output-of-prior-pics") return Mode::kNoOutputOfPriorPics;
  if (name == "no-ref-frames-level10") return Mode::kNoRefFramesLevel10;
  if (name == "explicit-weights") return Mode::kExplicitWeights;
  if (name == "frame-num-gaps") return Mode::kFrameNumGaps;
  if (name == "non-reference-thirds") return Mode::kNonReferenceThirds;
  if (name == "poc-type-0") return Mode::kPocType0;
  if (name == "long-term-marking") return Mode::kLongTermMarking;
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> Rewrite(const std::vector<uint8_t>& s, Mode mode, std::string& error) {
  Rewriter rewriter(mode);
  std::vector<uint8_t> out;
  for (const std::vector<uint8_t>& rbsp : NalUnitRbsps(s)) {
    const auto rewritten = rewriter.Unit(rbsp, error);
    if (!rewritten) return std::nullopt;
    AppendNalUnit(out, *rewritten);
  }
  return out;
}

}  // namespace h264rewrite
