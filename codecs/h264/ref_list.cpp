#include "codecs/h264/ref_list.h"

#include <algorithm>

namespace avc {

namespace {

// Moves the picture `entry` to position `at` of entries 0 to `last`, dropping its later copy (the procedure of clause 8.2.4.3.1).
void Insert(uint8_t (&list)[kRefListSize], uint32_t last, uint32_t& at, uint8_t entry) {
  for (uint32_t i = last; i > at; --i) list[i] = list[i - 1];
  list[at++] = entry;
  uint32_t kept = at;
  for (uint32_t i = at; i <= last; ++i) {
    if (list[i] != entry) list[kept++] = list[i];
  }
  while (kept <= last) list[kept++] = kNoReference;
}

uint8_t FieldEntry(uint32_t index, uint8_t parity) {
  return static_cast<uint8_t>(index | (parity == kBottomField ? kRefBottomField : 0));
}

// Clause 8.2.4.2.5: fields of the frames in order, alternating parity from
// the current one; when one parity runs out the other's remaining follow.
void AppendFields(const PictureStore& store, const uint32_t* frames, uint32_t count, bool longTerm, uint8_t same,
                  uint8_t (&list)[kRefListSize], uint32_t& n) {
  const uint8_t other = kBothFields ^ same;
  auto marked = [&](uint32_t i) {
    const StoredPicture& p = const_cast<PictureStore&>(store).At(frames[i]);
    return longTerm ? p.longTermFields : p.shortTermFields;
  };
  uint32_t nextSame = 0, nextOther = 0;
  bool takeSame = true;
  while (n < kRefListSize) {
    while (nextSame < count && !(marked(nextSame) & same)) ++nextSame;
    while (nextOther < count && !(marked(nextOther) & other)) ++nextOther;
    if (nextSame >= count && nextOther >= count) return;
    if ((takeSame && nextSame < count) || nextOther >= count) {
      list[n++] = FieldEntry(frames[nextSame++], same);
      takeSame = false;
    } else {
      list[n++] = FieldEntry(frames[nextOther++], other);
      takeSame = true;
    }
  }
}

}  // namespace

bool BuildRefList(PictureStore& store, const SeqParamSet& sps, const SliceHeader& h, uint8_t (&list)[kRefListSize]) {
  const uint8_t structure = StructureOf(h);
  const bool field = structure != kBothFields;
  const uint32_t maxFrameNum = sps.maxFrameNum;
  auto frameNumWrap = [&](uint32_t e) {
    const uint32_t frameNum = store.At(e).frameNum;
    return frameNum > h.frameNum ? int64_t{frameNum} - maxFrameNum : int64_t{frameNum};
  };
  uint32_t refs[kMaxStoreEntries];
  const uint32_t count = store.ReferenceEntries(refs);
  // A frame's list takes frames with both fields marked; a field's list
  // takes every frame with a field marked.
  uint32_t shortTerm[kMaxStoreEntries], longTerm[kMaxStoreEntries];
  uint32_t shortCount = 0, longCount = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const StoredPicture& p = store.At(refs[i]);
    if (field ? p.shortTermFields != 0 : p.shortTermFields == kBothFields) shortTerm[shortCount++] = refs[i];
    if (field ? p.longTermFields != 0 : p.longTermFields == kBothFields) longTerm[longCount++] = refs[i];
  }
  std::stable_sort(shortTerm, shortTerm + shortCount,
                   [&](uint32_t a, uint32_t b) { return frameNumWrap(a) > frameNumWrap(b); });
  std::stable_sort(longTerm, longTerm + longCount, [&](uint32_t a, uint32_t b) {
    return store.At(a).longTermFrameIdx < store.At(b).longTermFrameIdx;
  });
  std::fill(list, list + kRefListSize, kNoReference);
  uint32_t n = 0;
  if (field) {
    AppendFields(store, shortTerm, shortCount, false, structure, list, n);
    AppendFields(store, longTerm, longCount, true, structure, list, n);
  } else {
    for (uint32_t i = 0; i < shortCount && n < kRefListSize; ++i) list[n++] = static_cast<uint8_t>(shortTerm[i]);
    for (uint32_t i = 0; i < longCount && n < kRefListSize; ++i) list[n++] = static_cast<uint8_t>(longTerm[i]);
  }
  const uint32_t active = std::min(h.numRefIdxL0ActiveMinus1, kRefListSize - 2);
  for (uint32_t i = active + 1; i < kRefListSize; ++i) list[i] = kNoReference;

  // The picture with a number in the current picture's units (PicNum or
  // LongTermPicNum; for a field, twice the frame's plus 1 for its own
  // parity); kNoReference when none.
  auto find = [&](int64_t number, bool isLong) -> uint8_t {
    const uint32_t* frames = isLong ? longTerm : shortTerm;
    const uint32_t frameCount = isLong ? longCount : shortCount;
    for (uint32_t i = 0; i < frameCount; ++i) {
      const StoredPicture& p = store.At(frames[i]);
      const int64_t base = isLong ? int64_t{p.longTermFrameIdx} : frameNumWrap(frames[i]);
      if (!field) {
        if (base == number) return static_cast<uint8_t>(frames[i]);
        continue;
      }
      const uint8_t marked = isLong ? p.longTermFields : p.shortTermFields;
      for (const uint8_t parity : {kTopField, kBottomField}) {
        if ((marked & parity) && 2 * base + (parity == structure ? 1 : 0) == number) {
          return FieldEntry(frames[i], parity);
        }
      }
    }
    return kNoReference;
  };

  // Reordering: the list is one entry longer while commands run.
  const int64_t maxPicNum = field ? 2 * int64_t{maxFrameNum} : int64_t{maxFrameNum};
  const int64_t currPicNum = field ? 2 * int64_t{h.frameNum} + 1 : int64_t{h.frameNum};
  int64_t pred = currPicNum;
  uint32_t at = 0;
  for (uint32_t c = 0; c < h.reorderingCount && at <= active; ++c) {
    const ReorderingCommand& cmd = h.reordering[c];
    uint8_t entry = kNoReference;
    if (cmd.idc < 2) {
      const int64_t diff = int64_t{cmd.value} + 1;
      if (diff > maxPicNum) continue;
      int64_t noWrap = cmd.idc == 0 ? pred - diff : pred + diff;
      if (noWrap < 0) noWrap += maxPicNum;
      if (noWrap >= maxPicNum) noWrap -= maxPicNum;
      pred = noWrap;
      entry = find(noWrap > currPicNum ? noWrap - maxPicNum : noWrap, false);
    } else if (cmd.idc == 2) {
      entry = find(cmd.value, true);
    }
    if (entry != kNoReference) Insert(list, active + 1, at, entry);
  }
  if (list[0] == kNoReference) return false;
  for (uint32_t i = 1; i < kRefListSize; ++i) {
    if (i > active || list[i] == kNoReference) list[i] = list[0];
  }
  return true;
}

}  // namespace avc
