#pragma once
// The JPEG kernel sets this build holds and the one the processor runs best,
// chosen once.
#include <vector>

#include "codecs/jpeg/jpeg_kernel_set.h"

namespace jpeg::kernels {

struct Candidate {
  const JpegKernelSet* set;
  bool runsHere;
};

const JpegKernelSet& Plain();
// Plain first, then by increasing speed.
const std::vector<Candidate>& Candidates();
const JpegKernelSet& Active();

}  // namespace jpeg::kernels
