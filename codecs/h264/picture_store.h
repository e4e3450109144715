#pragma once
// The frame store and the decoded picture buffer (clauses 8.2.1, 8.2.5 and
// C.4): a frame-store entry for each new frame or first field (a second
// field joins its first field's entry), picture order counts, reference
// marking per field, output by bumping in picture order, and the output
// ring that frees entries one NAL unit after their output.
#include <cstdint>

#include "codecs/h264/parameter_sets.h"
#include "codecs/h264/slice_header.h"

namespace avc {

constexpr uint32_t kMaxStoreEntries = 36;
constexpr uint32_t kMaxDpbFrames = 16;
constexpr uint32_t kOutputRingSize = 64;

enum class OutputState : uint8_t { kInUse, kQueued, kDone };

// Field bits of an entry: which fields it holds, which are marked.  A
// frame holds and marks both.
enum : uint8_t { kTopField = 1, kBottomField = 2, kBothFields = 3 };

// The picture being decoded: a frame (both field bits) or one field.
inline uint8_t StructureOf(const SliceHeader& h) {
  return h.fieldPic ? (h.bottomField ? kBottomField : kTopField) : kBothFields;
}

struct StoredPicture {
  uint8_t* planes[3] = {};
  OutputState output = OutputState::kDone;
  bool inDpb = false;
  uint8_t fields = 0;             // present
  uint8_t shortTermFields = 0;    // marked used for short-term reference
  uint8_t longTermFields = 0;     // marked used for long-term reference
  bool fieldReference = false;    // its first field is a reference field
  bool waitsForOutput = false;
  bool idr = false;
  bool incomplete = false;
  bool firstFieldIncomplete = false;
  bool deblocked = false;
  bool nonExisting = false;   // made by gap filling: never output, samples undefined
  // Its samples are not the stream's: a gap frame, or a picture predicted
  // from one or from another withheld picture.  Never returned.
  bool withheld = false;
  bool progressiveSequence = true;  // frame_mbs_only_flag of its sequence
  uint32_t longTermFrameIdx = 0;
  uint32_t frameNum = 0;
  int32_t poc = 0;            // of the fields present: the smaller count
  int32_t topPoc = 0;         // TopFieldOrderCnt
  int32_t bottomPoc = 0;      // BottomFieldOrderCnt
  uint32_t user1 = 0, user2 = 0;
  int32_t width = 0, height = 0;
  int32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
  uint32_t picSizeInMbs = 0;
  uint32_t mbsDecoded = 0;

  bool IsReference() const { return (shortTermFields | longTermFields) != 0; }
  void Unmark() { shortTermFields = longTermFields = 0; }
};

class PictureStore {
 public:
  // `entries` frames of `frameBytes`, planes laid out by the caller.
  void Attach(uint8_t* frames, uint32_t entries, uint32_t frameBytes, uint32_t widthInMbs, uint32_t heightInMbs,
              bool bumping);
  void Reset(uint32_t dpbSize);
  void SetDpbSize(uint32_t frames);

  // Sets up the picture of this first slice; -1 when no entry is free or
  // frame_num goes backwards without cause.
  int StartPicture(const SeqParamSet& sps, const SliceHeader& h, uint32_t user1, uint32_t user2);
  // Puts the current picture (if any) into the buffer.
  void FinishPicture();
  // Outputs every waiting picture and empties the buffer.
  void Flush();
  // Frees the oldest queued entry: called once per NAL unit.
  void RetireOneOutput();

  // Frame-store indices of the reference frames in the buffer, oldest
  // first; returns their number.
  uint32_t ReferenceEntries(uint32_t* out) const;
  StoredPicture& At(uint32_t index) { return pictures_[index]; }
  uint32_t Entries() const { return entries_; }

  StoredPicture* Current() { return current_ < entries_ ? &pictures_[current_] : nullptr; }
  uint32_t CurrentIndex() const { return current_; }
  // kBothFields for a frame, else the field bit of the current field.
  uint8_t CurrentStructure() const { return structure_; }
  uint32_t DpbFill() const { return dpbCount_; }
  uint32_t QueuedCount() const;

 private:
  void Store(uint32_t index);
  void StoreSecondField(uint32_t index);
  // Puts the entry of a reference picture, or of any picture when bumping,
  // into the buffer, making room first.
  void Insert(uint32_t index);
  // The first field still waiting for its second: released as its frame.
  void ReleaseUnpairedField();
  void Output(uint32_t index);
  void RemoveUnneeded();
  void SlidingWindow(uint32_t numRefFrames, uint32_t current);
  // Adaptive marking (clause 8.2.5.4) of the picture at `index`; true when
  // operation 6 made the current picture long-term.
  bool RunMarking(uint32_t index);
  // The short-term (or long-term) picture numbered `number` in the units
  // of the current picture: its entry and its field bits, or false.
  bool FindPicture(int64_t number, bool longTerm, uint32_t& entry, uint8_t& bits) const;
  // Frees a long-term frame index from every entry but `keep`.
  void FreeLongTermIndex(uint32_t longTermFrameIdx, uint32_t keep);
  void AfterMarkingReset(StoredPicture& p);
  bool UnmarkOldestReference();
  // Stores non-existing reference frames for the frame_num values skipped
  // before `frameNum` (clause 8.2.5.2): the pictures of a stream that allows
  // gaps, or reference pictures that were not decoded, so that the lists of
  // later pictures keep their order.
  void FillFrameNumGap(const SeqParamSet& sps, uint32_t frameNum);
  uint32_t FreeEntry() const;
  // TopFieldOrderCnt and BottomFieldOrderCnt of the picture (clause 8.2.1);
  // a field's count of the other parity is not used.
  void ComputePoc(const SeqParamSet& sps, const SliceHeader& h, int32_t& top, int32_t& bottom);

  StoredPicture pictures_[kMaxStoreEntries];
  uint32_t entries_ = 0;
  bool bumping_ = true;
  uint32_t current_ = kMaxStoreEntries;
  uint8_t structure_ = kBothFields;
  bool secondField_ = false;
  uint32_t unpairedField_ = kMaxStoreEntries;  // first field waiting for its second
  uint32_t dpb_[kMaxDpbFrames] = {};
  uint32_t dpbCount_ = 0;
  uint32_t dpbSize_ = 1;
  uint32_t ring_[kOutputRingSize] = {};
  uint32_t ringRead_ = 0, ringWrite_ = 0;

  // Current picture's marking inputs.
  bool currentIdr_ = false;
  bool currentReference_ = false;
  bool noOutputOfPriorPics_ = false;
  bool longTermReference_ = false;
  bool adaptiveMarking_ = false;
  uint32_t markingCount_ = 0;
  MarkingOperation marking_[kMaxListCommands];
  int64_t maxLongTermFrameIdx_ = -1;  // -1: no long-term index allowed
  uint32_t maxFrameNum_ = 16;
  uint32_t currentFrameNum_ = 0;
  uint32_t pocType_ = 0;
  uint32_t numRefFrames_ = 0;

  // Picture order count state.
  int32_t prevPocMsb_ = 0;
  uint32_t prevPocLsb_ = 0;
  uint32_t prevFrameNum_ = 0;
  int32_t prevFrameNumOffset_ = 0;
  uint32_t prevRefFrameNum_ = 0;
  bool started_ = false;
  // A gap found no free entry to fill it: until the next IDR picture the
  // lists may name other pictures than the stream's.
  bool gapUnfilled_ = false;
};

}  // namespace avc
