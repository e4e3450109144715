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
  structure_ = kBothFields;
  secondField_ = false;
  unpairedField_ = kMaxStoreEntries;
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
  gapUnfilled_ = false;
}

void PictureStore::SetDpbSize(uint32_t frames) { dpbSize_ = std::clamp(frames, 1u, kMaxDpbFrames); }

uint32_t PictureStore::QueuedCount() const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < entries_; ++i) n += pictures_[i].output == OutputState::kQueued;
  return n;
}

void PictureStore::ComputePoc(const SeqParamSet& sps, const SliceHeader& h, int32_t& top, int32_t& bottom) {
  const bool idr = h.nalUnitType == 5;
  const uint8_t structure = StructureOf(h);
  top = bottom = 0;
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
    bottom = structure == kBothFields ? static_cast<int32_t>(int64_t{top} + h.deltaPicOrderCntBottom) : top;
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
      if (structure == kBothFields) {
        bottom = static_cast<int32_t>(int64_t{top} + sps.offsetForTopToBottomField + h.deltaPicOrderCnt[1]);
      } else {
        // A bottom field counts from the expected value with its own delta.
        bottom = static_cast<int32_t>(int64_t{top} + sps.offsetForTopToBottomField);
      }
    } else {
      const int64_t temp = idr ? 0 : 2 * (frameNumOffset + h.frameNum) - (h.nalRefIdc == 0 ? 1 : 0);
      top = bottom = static_cast<int32_t>(temp);
    }
    prevFrameNumOffset_ = static_cast<int32_t>(frameNumOffset);
    prevFrameNum_ = h.frameNum;
  }
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
    if (pictures_[dpb_[i]].IsReference()) out[n++] = dpb_[i];
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
  currentReference_ = true;
  adaptiveMarking_ = false;
  structure_ = kBothFields;
  secondField_ = false;
  for (uint32_t n = count; n > 0; --n) {
    const uint32_t index = FreeEntry();
    if (index == kMaxStoreEntries) {
      gapUnfilled_ = true;
      return;
    }
    StoredPicture& p = pictures_[index];
    p.output = OutputState::kDone;
    p.fields = kBothFields;
    p.Unmark();
    p.nonExisting = true;
    p.withheld = true;
    p.waitsForOutput = false;
    p.idr = false;
    p.frameNum = (frameNum + max - n) % max;
    p.poc = p.topPoc = p.bottomPoc = 0;
    prevRefFrameNum_ = p.frameNum;
    Store(index);
  }
}

int PictureStore::StartPicture(const SeqParamSet& sps, const SliceHeader& h, uint32_t user1, uint32_t user2) {
  FinishPicture();
  const uint8_t structure = StructureOf(h);
  const bool reference = h.nalRefIdc != 0;
  // A field pairs with the first field stored just before it: same
  // frame_num, the other parity, both reference or both not, and of the
  // same size (a new sequence in between starts a frame of its own).
  const int32_t fieldHeight = static_cast<int32_t>(sps.frameHeightInMbs * 16) / (structure == kBothFields ? 1 : 2);
  uint32_t second = kMaxStoreEntries;
  if (unpairedField_ < entries_) {
    const StoredPicture& first = pictures_[unpairedField_];
    if (structure != kBothFields && h.nalUnitType != 5 && first.frameNum == h.frameNum &&
        first.fields == (kBothFields ^ structure) && first.fieldReference == reference &&
        first.width == static_cast<int32_t>(sps.widthInMbs * 16) && first.height == fieldHeight) {
      second = unpairedField_;
      unpairedField_ = kMaxStoreEntries;
    } else {
      ReleaseUnpairedField();
    }
  }
  // Without gaps allowed a gap means reference pictures that were lost or
  // refused; their places are kept all the same.
  if (h.nalUnitType == 5) gapUnfilled_ = false;
  if (second == kMaxStoreEntries && h.nalUnitType != 5 && started_ && h.frameNum != prevRefFrameNum_ &&
      h.frameNum != (prevRefFrameNum_ + 1) % sps.maxFrameNum) {
    FillFrameNumGap(sps, h.frameNum);
  }
  const uint32_t index = second < entries_ ? second : FreeEntry();
  if (index == kMaxStoreEntries) return -1;
  StoredPicture& p = pictures_[index];
  int32_t top = 0, bottom = 0;
  ComputePoc(sps, h, top, bottom);
  if (second < entries_) {
    p.fields = kBothFields;
    p.firstFieldIncomplete = p.incomplete;
    if (structure == kTopField) {
      p.topPoc = top;
    } else {
      p.bottomPoc = bottom;
    }
    p.poc = std::min(p.topPoc, p.bottomPoc);
  } else {
    p.output = OutputState::kInUse;
    p.fields = structure;
    p.Unmark();
    p.fieldReference = reference;
    p.waitsForOutput = true;
    p.idr = h.nalUnitType == 5;
    p.firstFieldIncomplete = false;
    p.nonExisting = false;
    p.withheld = gapUnfilled_;
    p.frameNum = h.frameNum;
    p.user1 = user1;
    p.user2 = user2;
    p.width = static_cast<int32_t>(sps.widthInMbs * 16);
    p.cropLeft = sps.cropLeft;
    p.cropRight = sps.cropRight;
    p.cropTop = sps.cropTop;
    p.cropBottom = sps.cropBottom;
    p.progressiveSequence = sps.frameMbsOnly;
    p.topPoc = top;
    p.bottomPoc = bottom;
    p.poc = structure == kTopField ? top : structure == kBottomField ? bottom : std::min(top, bottom);
  }
  p.height = fieldHeight;
  p.incomplete = false;
  p.deblocked = false;
  p.picSizeInMbs = sps.widthInMbs * static_cast<uint32_t>(fieldHeight / 16);
  p.mbsDecoded = 0;
  if (reference) prevRefFrameNum_ = h.frameNum;
  currentIdr_ = h.nalUnitType == 5;
  currentReference_ = reference;
  noOutputOfPriorPics_ = h.noOutputOfPriorPics;
  longTermReference_ = h.longTermReference;
  adaptiveMarking_ = h.adaptiveRefPicMarking;
  markingCount_ = std::min(h.markingCount, kMaxListCommands);
  std::copy(h.marking, h.marking + markingCount_, marking_);
  maxFrameNum_ = sps.maxFrameNum;
  pocType_ = sps.pocType;
  numRefFrames_ = sps.numRefFrames;
  current_ = index;
  structure_ = structure;
  secondField_ = second < entries_;
  started_ = true;
  return 0;
}

void PictureStore::FinishPicture() {
  if (current_ >= entries_) return;
  StoredPicture& p = pictures_[current_];
  p.incomplete = p.firstFieldIncomplete || p.mbsDecoded != p.picSizeInMbs;
  const uint32_t index = current_;
  current_ = kMaxStoreEntries;
  if (secondField_) {
    StoreSecondField(index);
  } else {
    Store(index);
  }
}

void PictureStore::ReleaseUnpairedField() {
  const uint32_t index = unpairedField_;
  unpairedField_ = kMaxStoreEntries;
  if (index >= entries_) return;
  // Bumping outputs it from the buffer in its turn; otherwise it goes out
  // now, as the frame that holds it.
  if (!bumping_ && pictures_[index].waitsForOutput) Output(index);
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
    // The entry of a field waiting for its second field stays, whatever its
    // marking: the second field completes it.
    if (p.IsReference() || p.waitsForOutput || dpb_[i] == unpairedField_) {
      dpb_[kept++] = dpb_[i];
    } else {
      p.inDpb = false;
    }
  }
  dpbCount_ = kept;
}

bool PictureStore::FindPicture(int64_t number, bool longTerm, uint32_t& entry, uint8_t& bits) const {
  const bool field = structure_ != kBothFields;
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    const StoredPicture& p = pictures_[dpb_[i]];
    const uint8_t marked = longTerm ? p.longTermFields : p.shortTermFields;
    if (!marked) continue;
    const int64_t base = longTerm ? int64_t{p.longTermFrameIdx}
                                  : (p.frameNum > currentFrameNum_ ? int64_t{p.frameNum} - maxFrameNum_
                                                                     : int64_t{p.frameNum});
    if (!field) {
      // Frames: both fields marked alike.
      if (marked == kBothFields && base == number) {
        entry = dpb_[i];
        bits = kBothFields;
        return true;
      }
      continue;
    }
    for (const uint8_t parity : {kTopField, kBottomField}) {
      if (!(marked & parity)) continue;
      if (2 * base + (parity == structure_ ? 1 : 0) == number) {
        entry = dpb_[i];
        bits = parity;
        return true;
      }
    }
  }
  return false;
}

void PictureStore::FreeLongTermIndex(uint32_t longTermFrameIdx, uint32_t keep) {
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    if (dpb_[i] == keep) continue;
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.longTermFields && p.longTermFrameIdx == longTermFrameIdx) p.longTermFields = 0;
  }
}

bool PictureStore::RunMarking(uint32_t index) {
  StoredPicture& current = pictures_[index];
  const bool field = structure_ != kBothFields;
  const int64_t currPicNum = field ? 2 * int64_t{current.frameNum} + 1 : int64_t{current.frameNum};
  currentFrameNum_ = current.frameNum;
  bool resetAll = false, madeLongTerm = false;
  for (uint32_t n = 0; n < markingCount_; ++n) {
    const MarkingOperation& op = marking_[n];
    const int64_t picNum = currPicNum - (int64_t{op.differenceOfPicNumsMinus1} + 1);
    uint32_t entry = 0;
    uint8_t bits = 0;
    switch (op.operation) {
      case 1:
        if (FindPicture(picNum, false, entry, bits)) pictures_[entry].shortTermFields &= static_cast<uint8_t>(~bits);
        break;
      case 2:
        if (FindPicture(op.longTermPicNum, true, entry, bits)) pictures_[entry].longTermFields &= static_cast<uint8_t>(~bits);
        break;
      case 3:
        if (op.longTermFrameIdx > maxLongTermFrameIdx_) break;
        if (FindPicture(picNum, false, entry, bits)) {
          // A field keeps the index its sibling field already holds.
          StoredPicture& p = pictures_[entry];
          FreeLongTermIndex(op.longTermFrameIdx, field ? entry : kMaxStoreEntries);
          if (p.longTermFields && p.longTermFrameIdx != op.longTermFrameIdx) p.longTermFields = 0;
          p.shortTermFields &= static_cast<uint8_t>(~bits);
          p.longTermFields |= bits;
          p.longTermFrameIdx = op.longTermFrameIdx;
        }
        break;
      case 4:
        maxLongTermFrameIdx_ = int64_t{op.maxLongTermFrameIdxPlus1} - 1;
        for (uint32_t i = 0; i < dpbCount_; ++i) {
          StoredPicture& p = pictures_[dpb_[i]];
          if (p.longTermFields && int64_t{p.longTermFrameIdx} > maxLongTermFrameIdx_) p.longTermFields = 0;
        }
        break;
      case 5:
        for (uint32_t i = 0; i < dpbCount_; ++i) pictures_[dpb_[i]].Unmark();
        current.Unmark();
        maxLongTermFrameIdx_ = -1;
        resetAll = true;
        break;
      case 6:
        if (op.longTermFrameIdx > maxLongTermFrameIdx_) break;
        FreeLongTermIndex(op.longTermFrameIdx, index);
        if (current.longTermFields && current.longTermFrameIdx != op.longTermFrameIdx) current.longTermFields = 0;
        current.longTermFields |= structure_;
        current.longTermFrameIdx = op.longTermFrameIdx;
        madeLongTerm = true;
        break;
      default:
        break;
    }
  }
  // A stream that marked too few pictures unused still leaves room.
  if (!madeLongTerm && !secondField_) SlidingWindow(numRefFrames_, index);
  if (resetAll) AfterMarkingReset(current);
  return madeLongTerm;
}

void PictureStore::AfterMarkingReset(StoredPicture& p) {
  // The picture counts from zero again: frame_num 0, picture order counts
  // rebased on the smaller one (a field's own count becomes 0).
  if (structure_ == kBothFields) {
    const int32_t smaller = std::min(p.topPoc, p.bottomPoc);
    p.topPoc = static_cast<int32_t>(int64_t{p.topPoc} - smaller);
    p.bottomPoc = static_cast<int32_t>(int64_t{p.bottomPoc} - smaller);
  } else if (structure_ == kTopField) {
    p.topPoc = 0;
  } else {
    p.bottomPoc = 0;
  }
  p.frameNum = 0;
  p.poc = 0;
  prevRefFrameNum_ = 0;
  prevPocMsb_ = 0;
  prevPocLsb_ = pocType_ == 0 && structure_ != kBottomField ? static_cast<uint32_t>(p.topPoc) : 0;
  prevFrameNum_ = 0;
  prevFrameNumOffset_ = 0;
  Flush();
}

void PictureStore::SlidingWindow(uint32_t numRefFrames, uint32_t current) {
  const uint32_t limit = std::max(numRefFrames, 1u);
  uint32_t references = 0;
  for (uint32_t i = 0; i < dpbCount_; ++i) references += dpb_[i] != current && pictures_[dpb_[i]].IsReference();
  for (uint32_t i = 0; i < dpbCount_ && references >= limit; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (dpb_[i] != current && p.shortTermFields) {
      p.shortTermFields = 0;
      if (!p.longTermFields) --references;
    }
  }
}

bool PictureStore::UnmarkOldestReference() {
  for (uint32_t i = 0; i < dpbCount_; ++i) {
    StoredPicture& p = pictures_[dpb_[i]];
    if (p.IsReference() && dpb_[i] != unpairedField_) {
      p.Unmark();
      return true;
    }
  }
  return false;
}

void PictureStore::Flush() {
  for (uint32_t i = 0; i < dpbCount_; ++i) pictures_[dpb_[i]].Unmark();
  RemoveUnneeded();
  while (dpbCount_ > 0) {
    int best = -1;
    for (uint32_t i = 0; i < dpbCount_; ++i) {
      const StoredPicture& w = pictures_[dpb_[i]];
      if (w.waitsForOutput && (best < 0 || w.poc < pictures_[dpb_[best]].poc)) best = static_cast<int>(i);
    }
    if (best < 0) break;
    Output(dpb_[best]);
    RemoveUnneeded();
  }
}

void PictureStore::StoreSecondField(uint32_t index) {
  StoredPicture& p = pictures_[index];
  if (currentReference_) {
    bool longTerm = false;
    if (adaptiveMarking_) {
      longTerm = RunMarking(index);
    } else if (p.longTermFields) {
      // The second field of a long-term first field is long-term too.
      p.longTermFields |= structure_;
      longTerm = true;
    }
    if (!longTerm) p.shortTermFields |= structure_;
  }
  RemoveUnneeded();
  if (!bumping_ && p.waitsForOutput) Output(index);
}

void PictureStore::Store(uint32_t index) {
  StoredPicture& p = pictures_[index];
  bool longTerm = false;
  if (p.idr) {
    if (noOutputOfPriorPics_) {
      // Dropped without output: their entries are free again.
      for (uint32_t i = 0; i < dpbCount_; ++i) {
        StoredPicture& old = pictures_[dpb_[i]];
        old.Unmark();
        old.waitsForOutput = false;
        old.inDpb = false;
        if (old.output == OutputState::kInUse) old.output = OutputState::kDone;
      }
      dpbCount_ = 0;
    } else {
      Flush();
    }
    longTerm = longTermReference_;
    if (longTerm) p.longTermFields = structure_;
    p.longTermFrameIdx = 0;
    maxLongTermFrameIdx_ = longTermReference_ ? 0 : -1;
  } else if (currentReference_ && adaptiveMarking_ && !p.nonExisting) {
    longTerm = RunMarking(index);
  } else if (currentReference_) {
    SlidingWindow(numRefFrames_, index);
  }
  if (currentReference_ && !longTerm) p.shortTermFields = structure_;
  RemoveUnneeded();
  if (structure_ != kBothFields) unpairedField_ = index;

  if (!bumping_) {
    if (structure_ == kBothFields && !p.nonExisting) Output(index);
    if (p.IsReference()) Insert(index);
    return;
  }
  Insert(index);
}

void PictureStore::Insert(uint32_t index) {
  StoredPicture& p = pictures_[index];
  if (!bumping_) {
    if (dpbCount_ >= dpbSize_) {
      UnmarkOldestReference();
      RemoveUnneeded();
    }
    if (dpbCount_ >= kMaxDpbFrames) return;
    p.inDpb = true;
    dpb_[dpbCount_++] = index;
    return;
  }
  while (dpbCount_ >= dpbSize_) {
    int best = -1;
    for (uint32_t i = 0; i < dpbCount_; ++i) {
      const StoredPicture& w = pictures_[dpb_[i]];
      if (w.waitsForOutput && (best < 0 || w.poc < pictures_[dpb_[best]].poc)) best = static_cast<int>(i);
    }
    // A non-reference frame that would come out first goes out at once; a
    // first field waits for its second.
    if (!p.IsReference() && structure_ == kBothFields && (best < 0 || p.poc < pictures_[dpb_[best]].poc)) {
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
