#pragma once
// Reference picture list 0 of a P slice of a frame (clauses 8.2.4.1 to
// 8.2.4.3): short-term frames by descending PicNum, then long-term frames
// by ascending LongTermPicNum, then the slice's reordering commands.
#include <cstdint>

#include "codecs/h264/parameter_sets.h"
#include "codecs/h264/picture_store.h"
#include "codecs/h264/slice_header.h"

namespace avc {

constexpr uint32_t kRefListSize = 33;
constexpr uint8_t kNoReference = 0xFF;

// Fills `list` with frame-store indices.  Entries past the active size,
// and any the commands left empty, repeat entry 0, so that an index beyond
// the list still names a picture.  False when the list would be empty.
bool BuildRefList(PictureStore& store, const SeqParamSet& sps, const SliceHeader& h, uint8_t (&list)[kRefListSize]);

}  // namespace avc
