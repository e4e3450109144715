#pragma once
// The slice data of an I or P slice (clauses 7.3.4 and 7.3.5, CAVLC):
// macroblock syntax, residual blocks, dequantisation, intra and inter
// prediction and reconstruction into the current picture, before deblocking.
#include <cstdint>

struct AvcDecContext;

namespace avc {

// 0 when the slice ended normally, else a slice-data error value.
uint32_t DecodeSliceData(AvcDecContext& context, int32_t sliceId);

}  // namespace avc
