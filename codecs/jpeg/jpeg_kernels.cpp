#include "codecs/jpeg/jpeg_kernels.h"

#include "codecs/kernels/cpu_features.h"
#include "codecs/jpeg/jpeg_kernels_plain.h"
#ifdef ORLENTA_X86_KERNELS
#include "codecs/jpeg/jpeg_kernels_sse2.h"
#endif

namespace jpeg::kernels {

const codecs::KernelFamily<JpegKernelSet>& Sets() {
  static const codecs::KernelFamily<JpegKernelSet> family(kPlainJpegKernels, {
#ifdef ORLENTA_X86_KERNELS
      {"sse2", codecs::kCpuSse2, FillSse2JpegKernels},
#endif
  });
  return family;
}

const JpegKernelSet& Plain() { return kPlainJpegKernels; }

const JpegKernelSet& Active() { return Sets().Chosen(); }

}  // namespace jpeg::kernels
