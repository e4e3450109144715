#include "tools/h264rewrite/interlacer.h"

#include <algorithm>
#include <array>

#include "tools/h264rewrite/annexb_units.h"
#include "tools/h264rewrite/rbsp_bits.h"
#include "tools/h264rewrite/weight_tables.h"

namespace h264rewrite {

namespace {

struct Sps {
  uint32_t log2MaxFrameNum = 4;
  uint32_t maxNumRefFrames = 0;
  uint32_t widthInMbsMinus1 = 0;
  uint32_t heightInMapUnits = 0;  // of a progressive picture: its height in macroblocks
  std::array<uint32_t, 4> crop{};  // left, right, top, bottom
  size_t vuiAt = 0;  // bit position of vui_parameters_present_flag
  std::vector<uint8_t> rbsp;
};

struct Pps {
  uint32_t id = 0;
  bool bottomFieldPicOrderPresent = false;
  uint32_t numRefIdxL0DefaultMinus1 = 0;
  size_t afterSpsId = 0;   // bit position of entropy_coding_mode_flag
  size_t weightedAt = 0;   // bit position of weighted_pred_flag
  std::vector<uint8_t> rbsp;
};

struct MarkingOperation {
  uint32_t op = 0;
  std::array<uint32_t, 2> args{};
};

struct Slice {
  uint32_t nalRefIdc = 0;
  bool idr = false;
  uint32_t firstMb = 0;
  uint32_t sliceType = 0;
  uint32_t idrPicId = 0;
  bool numRefIdxOverride = false;
  uint32_t numRefIdxL0Minus1 = 0;  // in force for the slice
  std::vector<std::array<uint32_t, 2>> reordering;
  bool noOutputOfPriorPics = false;
  bool longTermReference = false;
  bool adaptiveMarking = false;
  std::vector<MarkingOperation> marking;
  size_t restAt = 0;  // bit position of slice_qp_delta: from there on copied
  std::vector<uint8_t> rbsp;

  bool inter() const { return sliceType % 5 == 0; }
};

// One progressive encode, parsed: its first parameter sets, the SEI units
// before its first slice, and its slices grouped into pictures.
struct Encode {
  Sps sps;
  Pps pps;
  bool haveSps = false, havePps = false;
  std::vector<std::vector<uint8_t>> seis;
  std::vector<std::vector<Slice>> pictures;
};

bool ParseSps(const std::vector<uint8_t>& rbsp, Sps& sps, std::string& error) {
  RbspReader r(rbsp);
  r.U(8);
  const uint32_t profile = r.U(8);
  r.U(16);  // constraint flags, level
  r.Ue();
  if (!(profile == 66 || profile == 77 || profile == 88)) {
    error = "sequence parameter set of profile " + std::to_string(profile) + " not handled";
    return false;
  }
  sps.log2MaxFrameNum = r.Ue() + 4;
  if (r.Ue() != 2) {
    error = "only picture order count type 2 encodes are interlaced";
    return false;
  }
  sps.maxNumRefFrames = r.Ue();
  r.U(1);  // gaps_in_frame_num_value_allowed_flag
  sps.widthInMbsMinus1 = r.Ue();
  sps.heightInMapUnits = r.Ue() + 1;
  if (!r.U(1)) {
    error = "the encode is interlaced already";
    return false;
  }
  r.U(1);  // direct_8x8_inference_flag
  if (r.U(1)) {
    for (uint32_t& offset : sps.crop) offset = r.Ue();
  }
  sps.vuiAt = r.Position();
  if (r.Failed() || sps.log2MaxFrameNum > 16 || sps.maxNumRefFrames > 16) {
    error = "sequence parameter set truncated or out of range";
    return false;
  }
  sps.rbsp = rbsp;
  return true;
}

bool ParsePps(const std::vector<uint8_t>& rbsp, Pps& pps, std::string& error) {
  RbspReader r(rbsp);
  r.U(8);
  pps.id = r.Ue();
  r.Ue();
  pps.afterSpsId = r.Position();
  const bool cabac = r.U(1);
  pps.bottomFieldPicOrderPresent = r.U(1);
  const uint32_t sliceGroups = r.Ue();
  pps.numRefIdxL0DefaultMinus1 = r.Ue();
  r.Ue();
  pps.weightedAt = r.Position();
  const bool weighted = r.U(1);
  r.U(2);
  r.Se();
  r.Se();
  r.Se();
  r.U(2);  // deblocking_filter_control_present_flag, constrained_intra_pred_flag
  const bool redundantPicCnt = r.U(1);
  if (r.Failed() || pps.id > 255 || cabac || sliceGroups || weighted || redundantPicCnt ||
      pps.numRefIdxL0DefaultMinus1 > 31) {
    error = "picture parameter set not handled (CABAC, slice groups, weights or redundant pictures)";
    return false;
  }
  pps.rbsp = rbsp;
  return true;
}

bool ParseSlice(const std::vector<uint8_t>& rbsp, const Encode& e, Slice& s, std::string& error) {
  RbspReader r(rbsp);
  const uint32_t header = r.U(8);
  s.nalRefIdc = (header >> 5) & 3;
  s.idr = (header & 31) == 5;
  s.firstMb = r.Ue();
  s.sliceType = r.Ue();
  if (r.Ue() != e.pps.id) {
    error = "a slice refers to another picture parameter set than the encode's first";
    return false;
  }
  r.U(static_cast<int>(e.sps.log2MaxFrameNum));
  if (s.idr) s.idrPicId = r.Ue();
  if (s.sliceType % 5 != 0 && s.sliceType % 5 != 2) {
    error = "only I and P slices are handled";
    return false;
  }
  if (s.nalRefIdc == 0) {
    error = "every picture of the encode must be a reference picture";
    return false;
  }
  s.numRefIdxL0Minus1 = e.pps.numRefIdxL0DefaultMinus1;
  if (s.inter()) {
    s.numRefIdxOverride = r.U(1);
    if (s.numRefIdxOverride) s.numRefIdxL0Minus1 = r.Ue();
    if (r.U(1)) {
      for (int i = 0; i < 33 && !r.Failed(); ++i) {
        const uint32_t idc = r.Ue();
        if (idc == 3) break;
        s.reordering.push_back({idc, r.Ue()});
      }
    }
  }
  if (s.idr) {
    s.noOutputOfPriorPics = r.U(1);
    s.longTermReference = r.U(1);
  } else {
    s.adaptiveMarking = r.U(1);
    for (int i = 0; s.adaptiveMarking && i < 66 && !r.Failed(); ++i) {
      MarkingOperation m;
      m.op = r.Ue();
      if (m.op == 0) break;
      int args = 0;
      if (m.op == 1 || m.op == 2 || m.op == 3 || m.op == 4 || m.op == 6) m.args[args++] = r.Ue();
      if (m.op == 3) m.args[args++] = r.Ue();
      s.marking.push_back(m);
    }
  }
  s.restAt = r.Position();
  if (r.Failed() || s.numRefIdxL0Minus1 > 15) {
    error = "truncated or out of range slice header";
    return false;
  }
  s.rbsp = rbsp;
  return true;
}

std::optional<Encode> ParseEncode(const std::vector<uint8_t>& stream, std::string& error) {
  Encode e;
  for (const std::vector<uint8_t>& rbsp : NalUnitRbsps(stream)) {
    if (rbsp.empty()) continue;
    const uint32_t type = rbsp[0] & 31;
    if (type == 7 && !e.haveSps) {
      if (!ParseSps(rbsp, e.sps, error)) return std::nullopt;
      e.haveSps = true;
    } else if (type == 8 && !e.havePps) {
      if (!ParsePps(rbsp, e.pps, error)) return std::nullopt;
      e.havePps = true;
    } else if (type == 6 && e.pictures.empty()) {
      e.seis.push_back(rbsp);
    } else if (type == 1 || type == 5) {
      if (!e.haveSps || !e.havePps) {
        error = "slice before its parameter sets";
        return std::nullopt;
      }
      Slice s;
      if (!ParseSlice(rbsp, e, s, error)) return std::nullopt;
      if (s.firstMb == 0 || e.pictures.empty()) e.pictures.emplace_back();
      e.pictures.back().push_back(std::move(s));
    }
  }
  if (e.pictures.empty()) {
    error = "the encode holds no picture";
    return std::nullopt;
  }
  return e;
}

// Levels 2.1 to 4.1 allow interlaced coding; the lowest that holds the frame.
uint32_t LevelFor(uint32_t frameMbs) {
  if (frameMbs <= 792) return 21;
  if (frameMbs <= 1620) return 30;
  if (frameMbs <= 3600) return 31;
  if (frameMbs <= 5120) return 32;
  return 40;
}

class Interlacer {
 public:
  Interlacer(const InterlaceOptions& options, const Encode* frames, const Encode* fields)
      : options_(options), frames_(frames), fields_(fields) {}

  std::optional<std::vector<uint8_t>> Run(std::string& error) {
    if (!CheckSizes(error)) return std::nullopt;
    std::vector<uint8_t> out;
    AppendNalUnit(out, SequenceParameterSet());
    if (frames_) AppendNalUnit(out, PictureParameterSet(frames_->pps, kFramesPps));
    if (fields_) AppendNalUnit(out, PictureParameterSet(fields_->pps, frames_ ? kFieldsPps : kFramesPps));
    for (const std::vector<uint8_t>& sei : (frames_ ? frames_ : fields_)->seis) AppendNalUnit(out, sei);

    for (uint32_t slot = 0;; ++slot) {
      const bool pair = options_.layout == InterlacedLayout::kFieldPairs ||
                        (options_.layout == InterlacedLayout::kMixed && (slot / 2) % 2 == 1);
      const size_t first = pair ? 2 * size_t{slot} : slot;
      const Encode& source = pair ? *fields_ : *frames_;
      if (first + (pair ? 1 : 0) >= source.pictures.size()) break;
      const bool idr = source.pictures[first].front().idr && (slot == 0 || options_.layout != InterlacedLayout::kMixed);
      if (slot == 0 && !idr) {
        error = "the encode does not begin with an IDR picture";
        return std::nullopt;
      }
      framesSinceIdr_ = idr ? 0 : framesSinceIdr_ + 1;
      for (int field = 0; field < (pair ? 2 : 1); ++field) {
        Picture picture;
        picture.field = pair;
        picture.second = field == 1;
        picture.bottom = pair && (field == 1) != options_.bottomFirst;
        picture.idr = idr && field == 0;
        picture.ppsId = pair && frames_ ? kFieldsPps : kFramesPps;
        picture.pps = &source.pps;
        for (const Slice& slice : source.pictures[first + static_cast<size_t>(field)]) {
          AppendNalUnit(out, SliceUnit(slice, picture));
        }
        ++pictures_;
      }
    }
    return out;
  }

 private:
  static constexpr uint32_t kFramesPps = 0, kFieldsPps = 1;

  struct Picture {
    bool field = false, second = false, bottom = false, idr = false;
    uint32_t ppsId = 0;
    const Pps* pps = nullptr;  // the encode's own
  };

  const Sps& BaseSps() const { return frames_ ? frames_->sps : fields_->sps; }

  // The field height in macroblocks and the crop offsets in the interlaced
  // unit (four luma rows vertically).
  bool CheckSizes(std::string& error) {
    if (!frames_) {
      mapUnits_ = fields_->sps.heightInMapUnits;
      crop_ = fields_->sps.crop;  // two field rows are the four frame rows of the interlaced unit
      return true;
    }
    const Sps& s = frames_->sps;
    if (s.heightInMapUnits % 2 || s.crop[2] % 2 || s.crop[3] % 2) {
      error = "the full-height encode needs an even height in macroblocks and crop offsets in whole field rows";
      return false;
    }
    mapUnits_ = s.heightInMapUnits / 2;
    crop_ = {s.crop[0], s.crop[1], s.crop[2] / 2, s.crop[3] / 2};
    if (fields_ && (fields_->sps.widthInMbsMinus1 != s.widthInMbsMinus1 || fields_->sps.heightInMapUnits != mapUnits_ ||
                    fields_->sps.crop != crop_)) {
      error = "the half-height encode is not a field of the full-height one";
      return false;
    }
    return true;
  }

  std::vector<uint8_t> SequenceParameterSet() const {
    const Sps& s = BaseSps();
    RbspWriter w;
    w.U(s.rbsp[0], 8);
    // Main profile: Baseline excludes interlaced coding.
    w.U(77, 8);
    w.U(0x40, 8);  // constraint_set1_flag
    w.U(LevelFor((s.widthInMbsMinus1 + 1) * mapUnits_ * 2), 8);
    w.Ue(0);
    w.Ue(s.log2MaxFrameNum - 4);
    w.Ue(options_.pocType0 ? 0 : 2);
    if (options_.pocType0) w.Ue(8 - 4);
    uint32_t refFrames = std::max(frames_ ? frames_->sps.maxNumRefFrames : 1, fields_ ? fields_->sps.maxNumRefFrames : 1);
    // Two long-term pairs beside the short-term references.
    if (options_.longTermMarking) refFrames = std::max(refFrames, 4u);
    w.Ue(refFrames);
    w.U(0, 1);  // gaps_in_frame_num_value_allowed_flag
    w.Ue(s.widthInMbsMinus1);
    w.Ue(mapUnits_ - 1);
    w.U(0, 1);  // frame_mbs_only_flag
    w.U(0, 1);  // mb_adaptive_frame_field_flag
    w.U(1, 1);  // direct_8x8_inference_flag
    const bool cropping = crop_ != std::array<uint32_t, 4>{};
    w.U(cropping, 1);
    for (uint32_t i = 0; cropping && i < 4; ++i) w.Ue(crop_[i]);
    w.CopyBits(s.rbsp, s.vuiAt, s.rbsp.size() * 8);
    return w.Bytes();
  }

  std::vector<uint8_t> PictureParameterSet(const Pps& p, uint32_t id) const {
    RbspWriter w;
    w.U(p.rbsp[0], 8);
    w.Ue(id);
    w.Ue(0);
    w.CopyBits(p.rbsp, p.afterSpsId, p.weightedAt);
    w.U(options_.explicitWeights, 1);
    w.CopyBits(p.rbsp, p.weightedAt + 1, p.rbsp.size() * 8);
    return w.Bytes();
  }

  // Every fourth frame becomes a long-term field pair, indices 0 and 1 in
  // turn: its first field unmarks both fields of the frame before (short
  // term picture numbers in field units), from the third pair on one field
  // of the pair that held the index before (a long-term picture number),
  // and takes the index; its second field must take the same index.  The
  // first field after an IDR picture allows indices 0 and 1.
  void WriteLongTermMarking(RbspWriter& w, const Picture& p) const {
    const uint32_t k = framesSinceIdr_;
    const bool allow = k == 1 && !p.second, pairFrame = k > 0 && k % 4 == 0;
    w.U(allow || pairFrame, 1);
    if (!allow && !pairFrame) return;
    const uint32_t index = (k / 4) % 2;
    if (allow) {
      w.Ue(4);
      w.Ue(2);
    }
    if (pairFrame && !p.second) {
      w.Ue(1);
      w.Ue(1);  // same parity field: 2 * FrameNumWrap + 1 is CurrPicNum - 2
      w.Ue(1);
      w.Ue(2);  // opposite parity: 2 * FrameNumWrap is CurrPicNum - 3
      if (k >= 8) {
        w.Ue(2);
        w.Ue(2 * index + 1);  // the same parity field of the old pair
      }
    }
    if (pairFrame) {
      w.Ue(6);
      w.Ue(index);
    }
    w.Ue(0);
  }

  std::vector<uint8_t> SliceUnit(const Slice& s, const Picture& p) const {
    const bool faithful = options_.layout == InterlacedLayout::kInterlacedFrames;
    const uint32_t log2MaxFrameNum = BaseSps().log2MaxFrameNum;
    RbspWriter w;
    w.U((s.nalRefIdc << 5) | (p.idr ? 5 : 1), 8);
    w.Ue(s.firstMb);
    w.Ue(s.sliceType);
    w.Ue(p.ppsId);
    w.U(framesSinceIdr_ % (1u << log2MaxFrameNum), static_cast<int>(log2MaxFrameNum));
    w.U(p.field, 1);
    if (p.field) w.U(p.bottom, 1);
    if (p.idr) w.Ue(s.idrPicId);
    if (options_.pocType0) {
      w.U((4 * framesSinceIdr_ + (p.second ? 2 : 0)) % 256, 8);
      if (p.pps->bottomFieldPicOrderPresent && !p.field) w.Se(0);
    }
    if (s.inter()) {
      // A field slice without an override would double the default count.
      const bool override = s.numRefIdxOverride || p.field;
      w.U(override, 1);
      if (override) w.Ue(s.numRefIdxL0Minus1);
      const bool reorder = faithful && !s.reordering.empty();
      w.U(reorder, 1);
      for (size_t i = 0; reorder && i < s.reordering.size(); ++i) {
        w.Ue(s.reordering[i][0]);
        w.Ue(s.reordering[i][1]);
      }
      if (reorder) w.Ue(3);
      if (options_.explicitWeights) WriteVaryingWeights(w, s.numRefIdxL0Minus1, pictures_);
    }
    if (p.idr) {
      w.U(s.noOutputOfPriorPics, 1);
      w.U(s.longTermReference, 1);
    } else if (options_.longTermMarking) {
      WriteLongTermMarking(w, p);
    } else {
      const bool keep = faithful && s.adaptiveMarking;
      w.U(keep, 1);
      for (size_t i = 0; keep && i < s.marking.size(); ++i) {
        const MarkingOperation& m = s.marking[i];
        w.Ue(m.op);
        if (m.op == 1 || m.op == 2 || m.op == 3 || m.op == 4 || m.op == 6) w.Ue(m.args[0]);
        if (m.op == 3) w.Ue(m.args[1]);
      }
      if (keep) w.Ue(0);
    }
    w.CopyBits(s.rbsp, s.restAt, s.rbsp.size() * 8);
    return w.Bytes();
  }

  InterlaceOptions options_;
  const Encode* frames_;
  const Encode* fields_;
  uint32_t mapUnits_ = 0;
  std::array<uint32_t, 4> crop_{};
  uint32_t framesSinceIdr_ = 0;
  uint32_t pictures_ = 0;
};

}  // namespace

std::optional<std::vector<uint8_t>> Interlace(const std::vector<uint8_t>& frames, const std::vector<uint8_t>& fields,
                                              const InterlaceOptions& options, std::string& error) {
  const bool needFrames = options.layout != InterlacedLayout::kFieldPairs;
  const bool needFields = options.layout != InterlacedLayout::kInterlacedFrames;
  if (options.longTermMarking && options.layout != InterlacedLayout::kFieldPairs) {
    error = "long-term marking is written for field pairs only";
    return std::nullopt;
  }
  std::optional<Encode> frameEncode, fieldEncode;
  if (needFrames && !(frameEncode = ParseEncode(frames, error))) return std::nullopt;
  if (needFields && !(fieldEncode = ParseEncode(fields, error))) return std::nullopt;
  Interlacer interlacer(options, frameEncode ? &*frameEncode : nullptr, fieldEncode ? &*fieldEncode : nullptr);
  return interlacer.Run(error);
}

}  // namespace h264rewrite
