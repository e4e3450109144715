#pragma once
// The SSE2 edge filters and intra predictors.  Each filler overwrites the
// slots of a set where the SSE2 kernel is faster than the plain one and
// leaves the others alone; call them only where the processor has SSE2.
//
// The luma edge filter may read (never change) p3 and q3 of every sample of
// its edge, and the chroma one p1 and q1, whatever the strengths; the
// deblocking driver's pictures always hold them.
#include "codecs/h264/kernel_set.h"

namespace avc {

void FillSse2EdgeFilters(KernelSet& set);
void FillSse2IntraKernels(KernelSet& set);

}  // namespace avc
