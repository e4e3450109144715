#include "codecs/jpeg/jpeg_kernels.h"

#include "codecs/jpeg/jpeg_kernels_plain.h"

namespace jpeg::kernels {

const JpegKernelSet& Plain() { return kPlainJpegKernels; }

const std::vector<Candidate>& Candidates() {
  static const std::vector<Candidate> candidates = {{&kPlainJpegKernels, true}};
  return candidates;
}

const JpegKernelSet& Active() {
  static const JpegKernelSet& chosen = [] () -> const JpegKernelSet& {
    const JpegKernelSet* best = &kPlainJpegKernels;
    for (const Candidate& candidate : Candidates()) {
      if (candidate.runsHere) best = candidate.set;
    }
    return *best;
  }();
  return chosen;
}

}  // namespace jpeg::kernels
