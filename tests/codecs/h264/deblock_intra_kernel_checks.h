#pragma once
// Byte-for-byte checks of a set's edge filters and intra predictors against
// the plain set, for the kernel-set harness.
#include <random>

#include "codecs/h264/kernel_set.h"

namespace avc_check {

void CompareEdgeFilters(const avc::KernelSet& set, std::mt19937& random);
void CompareIntraPredictors(const avc::KernelSet& set, std::mt19937& random);

}  // namespace avc_check
