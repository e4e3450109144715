#include "codecs/mpeg4/mp4_kernels.h"

#include <algorithm>

#include "codecs/kernels/cpu_features.h"
#include "codecs/mpeg4/mp4_idct.h"
#if defined(ORLENTA_X86_KERNELS)
#include "codecs/mpeg4/mp4_kernels_sse2.h"
#endif
#include "codecs/mpeg4/mp4_motion.h"

namespace {

void PutBlock(const int16_t* block, uint8_t* dst, ptrdiff_t stride) {
  for (int y = 0; y < 8; ++y, dst += stride)
    for (int x = 0; x < 8; ++x) dst[x] = uint8_t(std::clamp<int>(block[y * 8 + x], 0, 255));
}

void AddBlock(const int16_t* block, uint8_t* dst, ptrdiff_t stride) {
  for (int y = 0; y < 8; ++y, dst += stride)
    for (int x = 0; x < 8; ++x) dst[x] = uint8_t(std::clamp<int>(dst[x] + block[y * 8 + x], 0, 255));
}

const Mp4Kernels kPlain = {Mp4Idct, PutBlock, AddBlock, Mp4PredictHalf, Mp4PredictQuarter};

}  // namespace

const Mp4Kernels& Mp4PlainKernels() { return kPlain; }

const codecs::KernelFamily<Mp4Kernels>& Mp4KernelSets() {
  static const codecs::KernelFamily<Mp4Kernels> family(kPlain, {
#if defined(ORLENTA_X86_KERNELS)
      {"sse2", codecs::kCpuSse2, FillMp4Sse2Kernels},
#endif
  });
  return family;
}

const Mp4Kernels& Mp4SelectedKernels() { return Mp4KernelSets().Chosen(); }
