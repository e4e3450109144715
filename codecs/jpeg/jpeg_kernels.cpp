#include "codecs/jpeg/jpeg_kernels.h"

#include "codecs/cpu_features.h"
#include "codecs/jpeg/jpeg_kernels_plain.h"
#ifdef ORLENTA_X86_KERNELS
#include "codecs/jpeg/jpeg_kernels_sse2.h"
#endif

namespace jpeg::kernels {

const JpegKernelSet& Plain() { return kPlainJpegKernels; }

const std::vector<Candidate>& Candidates() {
  static const std::vector<Candidate> candidates = {
      {&kPlainJpegKernels, true},
#ifdef ORLENTA_X86_KERNELS
      {&kSse2JpegKernels, codecs::ProcessorFeatures().sse2},
#endif
  };
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
