#include "codecs/h264/picture_store.h"

#include <algorithm>

namespace avc {

void PictureStore::Attach(uint8_t* frames, uint32_t entries, uint32_t frameBytes, uint32_t widthInMbs,
                          uint32_t heightInMbs, bool bumping) {
  entries_ = std::min(entries, kMaxStoreEntries);
  bumping_ = bumping;
  const size_t lumaBytes = size_t{widthInMbs} * heightInMbs * 256;
  for (uint32_t i = 0; i < entries_; ++i) {
    uint8_t* frame = frames + size_t{i} * frameBytes;
    pictures_[i].planes[0] = frame;
    pictures_[i].planes[1] = frame + lumaBytes;
    pictures_[i].planes[2] = frame + lumaBytes + lumaBytes / 4;
  }
}

void PictureStore::Reset(uint32_t dpbSize) {
  for (uint32_t i = 0; i < entries_; ++i) {
    uint8_t* planes[3] = {pictures_[i].planes[0], pictures_[i].planes[1], pictures_[i].planes[2]};
    pictures_[i] = StoredPicture{};
    std::copy(planes, planes + 3, pictures_[i].planes);
  }
  current_ = kMaxStoreEntries;
  dpbCount_ = 0;
  ringRead_ = ringWrite_ = 0;
  std::fill(ring_, ring_ + kOutputRingSize, kMaxStoreEntries);
  SetDpbSize(dpbSize);
  prevPocMsb_ = 0;
  prevPocLsb_ = 0;
  prevFrameNum_ = 0;
  prevFrameNumOffset_ = 0;
  prevRefFrameNum_ = 0;
  started_ = false;
}

void PictureStore::SetDpbSize(uint32_t frames) { dpbSize_ = std::clamp(frames, 1u, kMaxDpbFrames); }

uint32_t PictureStore::QueuedCount() const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < entries_; ++i) n += pictures_[i].output == OutputState::kQueued;
  return n;
}

void PictureStore::ComputePoc(const SeqParamSet& sps, const SliceHeader& h, StoredPicture& p) {
  const bool idr = h.nalUnitType == 5;
  int32_t top = 0, bottom = 0;
  if (sps.pocType == 0) {
    if (idr) {
      prevPocMsb_ = 0;
      prevPocLsb_ = 0;
    }
    const int64_t maxLsb = int64_t{1} << sps.log2MaxPocLsb;
    const int64_t lsb = h.picOrderCntLsb, prevLsb = prevPocLsb_;
    int64_t msb = prevPocMsb_;
    if (lsb < prevLsb && prevLsb - lsb >= maxLsb / 2) {
      msb += maxLsb;
    } else if (lsb > prevLsb && lsb - prevLsb > maxLsb / 2) {
      msb -= maxLsb;
    }
    top = static_cast<int32_t>(msb + lsb);
    bottom = static_cast<int32_t>(int64_t{top} + h.deltaPicOrderCntBottom);
    if (h.nalRefIdc) {
      prevPocMsb_ = static_cast<int32_t>(msb);
      prevPocLsb_ = h.picOrderCntLsb;
    }
  } else {
    int64_t frameNumOffset = 0;
    if (!idr) frameNumOffset = prevFrameNumOffset_ + (prevFrameNum_ > h.frameNum ? int64_t{sps.maxFrameNum} : 0);
    if (sps.pocType == 1) {
      int64_t absFrameNum = sps.numRefFramesInPocCycle ? frameNumOffset + h.frameNum : 0;
      if (h.nalRefIdc == 0 && absFrameNum > 0) --absFrameNum;
      // Hostile offsets can take these sums past 64 bits: they wrap, as
      // the 32-bit counts they end in do.
      uint64_t expected = 0;
      if (absFrameNum > 0) {
        uint64_t deltaPerCycle = 0;
        for (uint32_t i = 0; i < sps.numRefFramesInPocCycle; ++i) deltaPerCycle += static_cast<uint64_t>(int64_t{sps.offsetForRefFrame[i]});
        const uint64_t cycle = static_cast<uint64_t>((absFrameNum - 1) / sps.numRefFramesInPocCycle);
        const int64_t inCycle = (absFrameNum - 1) % sps.numRefFramesInPocCycle;
        expected = cycle * deltaPerCycle;
        for (int64_t i = 0; i <= inCycle; ++i) expected += static_cast<uint64_t>(int64_t{sps.offsetForRefFrame[i]});
      }
      if (h.nalRefIdc == 0) expected += static_cast<uint64_t>(int64_t{sps.offsetForNonRefPic});
      top = static_cast<int32_t>(expected + static_cast<uint64_t>(int64_t{h.deltaPicOrderCnt[0]}));
      bottom = static_cast<int32_t>(int64_t{top} + sps.offsetForTopToBottomField + h.deltaPicOrderCnt[1]);
    } else {
      const int64_t temp = idr ? 0 : 2 * (frameNumOffset + h.frameNum) - (h.nalRefIdc == 0 ? 1 : 0);
      top = bottom = static_cast<int32_t>(temp);
    }
    prevFrameNumOffset_ = static_cast<int32_t>(frameNumOffset);
    prevFrameNum_ = h.frameNum;
  }
  p.poc = std::min(top, bottom);
  p.topPoc = top;
}

uint32_t PictureStore::FreeEntry() const {
  for (uint32_t i = 0; i < entries_; ++i) {
    const StoredPicture& p = pictures_[i];
    if (!p.inDpb && p.output == OutputState::kDone) return i;
  }
  return kMaxStoreEntries;
}

uint32_t PictureStore::ReferenceEntries(uint32_t* out) const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    if (pictures_[dpb_[i]].reference) out[n++] = dpb_[i];
  }
  return n;
}

void PictureStore::FillFrameNumGap(const SeqParamSet& sps, uint32_t frameNum) {
  const uint32_t max = sps.maxFrameNum;
  const uint32_t missing = (frameNum + max - prevRefFrameNum_ - 1) % max;
  // Frames older than the last num_ref_frames would slide out at once.
  const uint32_t count = std::min(missing, std::max(sps.numRefFrames, 1u));
  numRefFrames_ = sps.numRefFrames;
  noOutputOfPriorPics_ = false;
  for (uint32_t n = count; n > 0; --n) {
    const uint32_t index = FreeEntry();
    if (index == kMaxStoreEntries) return;
    StoredPicture& p = pictures_[index];
    p.output = OutputState::kDone;
    p.reference = true;
    p.longTerm = false;
    p.nonExisting = true;
    p.waitsForOutput = false;
    p.idr = false;
    p.frameNum = (frameNum + max - n) % max;
    p.poc = 0;
    prevRefFrameNum_ = p.frameNum;
    Store(index);
  }
}

int PictureStore::StartPicture(const SeqParamSet& sps, const SliceHeader& h, uint32_t user1, uint32_t user2) {
  FinishPicture();
  if (h.nalUnitType != 5 && started_ && sps.gapsAllowed && h.frameNum != prevRefFrameNum_ &&
      h.frameNum != (prevRefFrameNum_ + 1) % sps.maxFrameNum) {
    FillFrameNumGap(sps, h.frameNum);
  }
  const uint32_t index = FreeEntry();
  if (index == kMaxStoreEntries) return -1;
  StoredPicture& p = pictures_[index];
  p.output = OutputState::kInUse;
  p.reference = h.nalRefIdc != 0;
  p.waitsForOutput = true;
  p.idr = h.nalUnitType == 5;
  p.incomplete = false;
  p.deblocked = false;
  p.nonExisting = false;
  p.longTerm = false;
  p.frameNum = h.frameNum;
  p.user1 = user1;
  p.user2 = user2;
  p.width = static_cast<int32_t>(sps.widthInMbs * 16);
  p.height = static_cast<int32_t>(sps.frameHeightInMbs * 16);
  p.cropLeft = sps.cropLeft;
  p.cropRight = sps.cropRight;
  p.cropTop = sps.cropTop;
  p.cropBottom = sps.cropBottom;
  p.progressiveSequence = sps.frameMbsOnly;
  p.fieldCoded = h.fieldPic;
  p.picSizeInMbs = sps.widthInMbs * sps.frameHeightInMbs;
  p.mbsDecoded = 0;
  ComputePoc(sps, h, p);
  if (p.reference) prevRefFrameNum_ = h.frameNum;
  currentIdr_ = p.idr;
  noOutputOfPriorPics_ = h.noOutputOfPriorPics;
  longTermReference_ = h.longTermReference;
  adaptiveMarking_ = h.adaptiveRefPicMarking;
  markingCount_ = std::min(h.markingCount, kMaxListCommands);
  std::copy(h.marking, h.marking + markingCount_, marking_);
  maxFrameNum_ = sps.maxFrameNum;
  pocType_ = sps.pocType;
  numRefFrames_ = sps.numRefFrames;
  current_ = index;
  started_ = true;
  return 0;
}

void PictureStore::FinishPicture() {
  if (current_ >= entries_) return;
  StoredPicture& p = pictures_[current_];
  p.incomplete = p.mbsDecoded != p.picSizeInMbs;
  const uint32_t index = current_;
  current_ = kMaxStoreEntries;
  Store(index);
}

void PictureStore::Output(uint32_t index) {
  StoredPicture& p = pictures_[index];
  p.waitsForOutput = false;
  if (ring_[ringWrite_] != kMaxStoreEntries) {
    // The ring is full of older entries: that one is done now.
    pictures_[ring_[ringWrite_]].output = OutputState::kDone;
    ringRead_ = (ringWrite_ + 1) % kOutputRingSize;
  }
  p.output = OutputState::kQueued;
  ring_[ringWrite_] = index;
  ringWrite_ = (ringWrite_ + 1) % kOutputRingSize;
}

void PictureStore::RetireOneOutput() {
  for (uint32_t n = 0; n < kOutputRingSize; ++n) {
    const uint32_t index = ring_[ringRead_];
    if (ringRead_ == ringWrite_ && index == kMaxStoreEntries) return;
    ring_[ringRead_] = kMaxStoreEntries;
    ringRead_ = (ringRead_ + 1) % kOutputRingSize;
    if (index < entries_) {
      pictures_[index].output = OutputState::kDone;
      return;
    }
  }
}

void PictureStore::RemoveUnneeded() {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.reference || p.waitsForOutput) {
      dpb_[kept++] = dpb_[i];
    } else {
      p.inDpb = false;
    }
  }
  dpbCount_ = kept;
}

StoredPicture* PictureStore::ShortTermByPicNum(int64_t picNum, uint32_t currentFrameNum) {
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (!p.reference || p.longTerm) continue;
    const int64_t own = p.frameNum > currentFrameNum ? int64_t{p.frameNum} - maxFrameNum_ : int64_t{p.frameNum};
    if (own == picNum) return &p;
  }
  return nullptr;
}

void PictureStore::FreeLongTermIndex(uint32_t longTermFrameIdx) {
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.reference && p.longTerm && p.longTermFrameIdx == longTermFrameIdx) p.reference = p.longTerm = false;
  }
}

void PictureStore::RunMarking(uint32_t index) {
  StoredPicture& current = pictures_[index];
  bool resetAll = false;
  for (uint32_t n = 0; n < markingCount_; ++n) {
    const MarkingOperation& op = marking_[n];
    const int64_t picNum = int64_t{current.frameNum} - (int64_t{op.differenceOfPicNumsMinus1} + 1);
    switch (op.operation) {
      case 1:
        if (StoredPicture* p = ShortTermByPicNum(picNum, current.frameNum)) p->reference = false;
        break;
      case 2:
        for (uint32_t i = 0; i < dpbCount_; ++i) {
          StoredPicture& p = pictures_[dpb_[i]];
          if (p.reference && p.longTerm && p.longTermFrameIdx == op.longTermPicNum) p.reference = p.longTerm = false;
        }
        break;
      case 3:
        if (op.longTermFrameIdx > maxLongTermFrameIdx_) break;
        if (StoredPicture* p = ShortTermByPicNum(picNum, current.frameNum)) {
          FreeLongTermIndex(op.longTermFrameIdx);
          p->longTerm = true;
          p->longTermFrameIdx = op.longTermFrameIdx;
        }
        break;
      case 4:
        maxLongTermFrameIdx_ = int64_t{op.maxLongTermFrameIdxPlus1} - 1;
        for (uint32_t i = 0; i < dpbCount_; ++i) {
          StoredPicture& p = pictures_[dpb_[i]];
          if (p.longTerm && int64_t{p.longTermFrameIdx} > maxLongTermFrameIdx_) p.reference = p.longTerm = false;
        }
        break;
      case 5:
        for (uint32_t i = 0; i < dpbCount_; ++i) pictures_[dpb_[i]].reference = pictures_[dpb_[i]].longTerm = false;
        maxLongTermFrameIdx_ = -1;
        resetAll = true;
        break;
      case 6:
        if (op.longTermFrameIdx > maxLongTermFrameIdx_) break;
        FreeLongTermIndex(op.longTermFrameIdx);
        current.longTerm = true;
        current.longTermFrameIdx = op.longTermFrameIdx;
        break;
      default:
        break;
    }
  }
  // A stream that marked too few pictures unused still leaves room.
  if (!current.longTerm) SlidingWindow(numRefFrames_);
  if (resetAll) AfterMarkingReset(current);
}

void PictureStore::AfterMarkingReset(StoredPicture& p) {
  // The picture counts from zero again: frame_num 0, picture order counts
  // rebased on the smaller one.
  const int64_t top = int64_t{p.topPoc} - p.poc;
  p.frameNum = 0;
  p.poc = 0;
  p.topPoc = static_cast<int32_t>(top);
  prevRefFrameNum_ = 0;
  prevPocMsb_ = 0;
  prevPocLsb_ = pocType_ == 0 ? static_cast<uint32_t>(top) : 0;
  prevFrameNum_ = 0;
  prevFrameNumOffset_ = 0;
  Flush();
}

void PictureStore::SlidingWindow(uint32_t numRefFrames) {
  const uint32_t limit = std::max(numRefFrames, 1u);
  uint32_t references = 0;
  for (uint32_t i = 0; i < dpbCount_; ++i) references += pictures_[dpb_[i]].reference;
  for (uint32_t i = 0; i < dpbCount_ && references >= limit; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.reference && !p.longTerm) {
      p.reference = false;
      --references;
    }
  }
}

bool PictureStore::UnmarkOldestReference() {
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.reference) {
      p.reference = false;
      return true;
    }
  }
  return false;
}

void PictureStore::Flush() {
  for (uint32_t i = 0; i < dpbCount_; ++i) pictures_[dpb_[i]].reference = false;
  RemoveUnneeded();
  while (dpbCount_ > 0) {
    uint32_t best = 0;
    for (uint32_t i = 1; i < dpbCount_; ++i) {
      if (pictures_[dpb_[i]].poc < pictures_[dpb_[best]].poc) best = i;
    }
    Output(dpb_[best]);
    RemoveUnneeded();
  }
}

void PictureStore::Store(uint32_t index) {
  StoredPicture& p = pictures_[index];
  if (p.idr) {
    if (noOutputOfPriorPics_) {
      // Dropped without output: their entries are free again.
      for (uint32_t i = 0; i < dpbCount_; ++i) {
        StoredPicture& old = pictures_[dpb_[i]];
        old.reference = false;
        old.waitsForOutput = false;
        old.inDpb = false;
        if (old.output == OutputState::kInUse) old.output = OutputState::kDone;
      }
      dpbCount_ = 0;
    } else {
      Flush();
    }
    p.longTerm = longTermReference_;
    p.longTermFrameIdx = 0;
    maxLongTermFrameIdx_ = longTermReference_ ? 0 : -1;
  } else if (p.reference && adaptiveMarking_ && !p.nonExisting) {
    RunMarking(index);
  } else if (p.reference) {
    SlidingWindow(numRefFrames_);
  }
  RemoveUnneeded();

  if (!bumping_) {
    if (!p.nonExisting) Output(index);
    if (p.reference) {
      if (dpbCount_ >= dpbSize_) {
        UnmarkOldestReference();
        RemoveUnneeded();
      }
      p.inDpb = true;
      dpb_[dpbCount_++] = index;
    }
    return;
  }

  while (dpbCount_ >= dpbSize_) {
    int best = -1;
    for (uint32_t i = 0; i < dpbCount_; ++i) {
      const StoredPicture& w = pictures_[dpb_[i]];
      if (w.waitsForOutput && (best < 0 || w.poc < pictures_[dpb_[best]].poc)) best = static_cast<int>(i);
    }
    if (!p.reference && (best < 0 || p.poc < pictures_[dpb_[best]].poc)) {
      Output(index);
      return;
    }
    if (best < 0) {
      // Every frame is a reference and none waits: the oldest gives way.
      if (!UnmarkOldestReference()) break;
    } else {
      Output(dpb_[best]);
    }
    RemoveUnneeded();
  }
  if (dpbCount_ >= kMaxDpbFrames) {
    if (!p.nonExisting) Output(index);
    return;
  }
  p.inDpb = true;
  dpb_[dpbCount_++] = index;
}

}  // namespace avc
