#pragma once
// The in-loop deblocking filter (clause 8.7) for frames and field pictures
// of intra and inter macroblocks, run over the picture once its macroblocks
// are decoded, in macroblock order, so that intra prediction always saw
// unfiltered samples.
#include <cstdint>

#include "codecs/h264/kernel_set.h"
#include "codecs/h264/macroblock_record.h"
#include "codecs/h264/picture_store.h"

namespace avc {

// Filters every macroblock of `picture` (the frame, or its field of
// `structure`, of `heightInMbs` rows) decoded by a slice numbered
// `firstSlice` or later.
void DeblockPicture(StoredPicture& picture, uint8_t structure, const MbRecord* mbs, uint32_t widthInMbs,
                    uint32_t heightInMbs, int32_t firstSlice, const KernelSet& kernels);

}  // namespace avc
