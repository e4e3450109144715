#pragma once
// One check per group of kernel slots, each running a SIMD set's slots and
// the plain set's on the same inputs and asserting equal bytes.  A new
// group adds its function here and to the list in avc_kernel_family.cpp.
#include <random>

#include "codecs/h264/kernel_set.h"

namespace avc_kernel_checks {

// Luma tables (every size and position) and chroma tables (every class).
void CompareMotionCompensation(const avc::KernelSet& set, std::mt19937& random);
// Default and explicit single-list combination.
void CompareCombination(const avc::KernelSet& set, std::mt19937& random);
// inverseTransform, transformAdd and dcAdd.
void CompareTransforms(const avc::KernelSet& set, std::mt19937& random);
// lumaEdge and chromaEdge: every orientation, every bS mix, alpha, beta and
// tC0 over their ranges, samples flat, noisy and at 0 and 255.
void CompareEdgeFilters(const avc::KernelSet& set, std::mt19937& random);
// Every mode of the three intra tables, with every neighbour availability.
void CompareIntraPredictors(const avc::KernelSet& set, std::mt19937& random);
// The output deinterlacer's row kernel.
void CompareDeinterlace(const avc::KernelSet& set, std::mt19937& random);

}  // namespace avc_kernel_checks
