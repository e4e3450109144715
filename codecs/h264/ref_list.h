#pragma once
// Reference picture list 0 of a P slice (clauses 8.2.4.1 to 8.2.4.3).  A
// frame's list: short-term frames by descending PicNum, then long-term
// frames by ascending LongTermPicNum.  A field's list: the frames holding
// reference fields in the same orders, taken field by field alternating in
// parity from the current field's own.  Then the slice's reordering
// commands, in field units for a field.
#include <cstdint>

#include "codecs/h264/parameter_sets.h"
#include "codecs/h264/picture_store.h"
#include "codecs/h264/slice_header.h"

namespace avc {

constexpr uint32_t kRefListSize = 33;
constexpr uint8_t kNoReference = 0xFF;
// A list entry is a frame-store index; in a field's list this bit marks
// the entry's bottom field (clear: its top field).
constexpr uint8_t kRefBottomField = 0x40;

inline uint32_t RefEntryIndex(uint8_t entry) { return entry & 0x3Fu; }
inline bool RefEntryBottom(uint8_t entry) { return (entry & kRefBottomField) != 0; }

// Fills `list` with entries.  Entries past the active size, and any the
// commands left empty, repeat entry 0, so that an index beyond the list
// still names a picture.  False when the list would be empty.
bool BuildRefList(PictureStore& store, const SeqParamSet& sps, const SliceHeader& h, uint8_t (&list)[kRefListSize]);

}  // namespace avc
