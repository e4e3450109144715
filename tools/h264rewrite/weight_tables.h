#pragma once
// Explicit prediction weight tables (clause 7.3.3.2) that change from
// picture to picture: saturating, negative, without a denominator.
#include <cstdint>

#include "tools/h264rewrite/rbsp_bits.h"

namespace h264rewrite {

// A luma and a chroma entry for each of `refIdxMinus1` + 1 reference
// indices, the set chosen by `picture`.
void WriteVaryingWeights(RbspWriter& w, uint32_t refIdxMinus1, uint32_t picture);

}  // namespace h264rewrite
