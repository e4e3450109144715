#include "codecs/h264/ref_list.h"

#include <algorithm>

namespace avc {

namespace {

int64_t PicNum(const StoredPicture& p, const SliceHeader& h, uint32_t maxFrameNum) {
  return p.frameNum > h.frameNum ? int64_t{p.frameNum} - maxFrameNum : int64_t{p.frameNum};
}

// Moves the picture `entry` to position `at` of entries 0 to `last`, dropping its later copy (the procedure of clause 8.2.4.3.1).
template <class Same>
void Insert(uint8_t (&list)[kRefListSize], uint32_t last, uint32_t& at, uint8_t entry, Same same) {
  for (uint32_t i = last; i > at; --i) list[i] = list[i - 1];
  list[at++] = entry;
  uint32_t kept = at;
  for (uint32_t i = at; i <= last; ++i) {
    if (list[i] == kNoReference || !same(list[i])) list[kept++] = list[i];
  }
  while (kept <= last) list[kept++] = kNoReference;
}

}  // namespace

bool BuildRefList(PictureStore& store, const SeqParamSet& sps, const SliceHeader& h, uint8_t (&list)[kRefListSize]) {
  uint32_t refs[kMaxStoreEntries];
  const uint32_t count = store.ReferenceEntries(refs);
  uint32_t shortTerm[kMaxStoreEntries], longTerm[kMaxStoreEntries];
  uint32_t shortCount = 0, longCount = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (store.At(refs[i]).longTerm) {
      longTerm[longCount++] = refs[i];
    } else {
      shortTerm[shortCount++] = refs[i];
    }
  }
  const uint32_t maxFrameNum = sps.maxFrameNum;
  std::stable_sort(shortTerm, shortTerm + shortCount, [&](uint32_t a, uint32_t b) {
    return PicNum(store.At(a), h, maxFrameNum) > PicNum(store.At(b), h, maxFrameNum);
  });
  std::stable_sort(longTerm, longTerm + longCount, [&](uint32_t a, uint32_t b) {
    return store.At(a).longTermFrameIdx < store.At(b).longTermFrameIdx;
  });
  std::fill(list, list + kRefListSize, kNoReference);
  uint32_t n = 0;
  for (uint32_t i = 0; i < shortCount && n < kRefListSize; ++i) list[n++] = static_cast<uint8_t>(shortTerm[i]);
  for (uint32_t i = 0; i < longCount && n < kRefListSize; ++i) list[n++] = static_cast<uint8_t>(longTerm[i]);
  const uint32_t active = std::min(h.numRefIdxL0ActiveMinus1, kRefListSize - 2);
  for (uint32_t i = active + 1; i < kRefListSize; ++i) list[i] = kNoReference;

  // Reordering: the list is one entry longer while commands run.
  const int64_t maxPicNum = maxFrameNum, currPicNum = h.frameNum;
  int64_t pred = currPicNum;
  uint32_t at = 0;
  for (uint32_t c = 0; c < h.reorderingCount && at <= active; ++c) {
    const ReorderingCommand& cmd = h.reordering[c];
    if (cmd.idc < 2) {
      const int64_t diff = int64_t{cmd.value} + 1;
      if (diff > maxPicNum) continue;
      int64_t noWrap = cmd.idc == 0 ? pred - diff : pred + diff;
      if (noWrap < 0) noWrap += maxPicNum;
      if (noWrap >= maxPicNum) noWrap -= maxPicNum;
      pred = noWrap;
      const int64_t picNum = noWrap > currPicNum ? noWrap - maxPicNum : noWrap;
      const uint32_t* found = std::find_if(shortTerm, shortTerm + shortCount, [&](uint32_t e) {
        return PicNum(store.At(e), h, maxFrameNum) == picNum;
      });
      if (found == shortTerm + shortCount) continue;
      Insert(list, active + 1, at, static_cast<uint8_t>(*found), [&](uint8_t e) {
        return !store.At(e).longTerm && PicNum(store.At(e), h, maxFrameNum) == picNum;
      });
    } else if (cmd.idc == 2) {
      const uint32_t* found = std::find_if(longTerm, longTerm + longCount,
                                           [&](uint32_t e) { return store.At(e).longTermFrameIdx == cmd.value; });
      if (found == longTerm + longCount) continue;
      Insert(list, active + 1, at, static_cast<uint8_t>(*found), [&](uint8_t e) {
        return store.At(e).longTerm && store.At(e).longTermFrameIdx == cmd.value;
      });
    }
  }
  if (list[0] == kNoReference) return false;
  for (uint32_t i = 1; i < kRefListSize; ++i) {
    if (i > active || list[i] == kNoReference) list[i] = list[0];
  }
  return true;
}

}  // namespace avc
