#include "codecs/mpeg4/mp4_kernels.h"

#include <algorithm>

#include "codecs/mpeg4/mp4_idct.h"
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

const Mp4Kernels kPlain = {"plain", Mp4Idct, PutBlock, AddBlock, Mp4PredictHalf, Mp4PredictQuarter};

}  // namespace

const Mp4Kernels& Mp4PlainKernels() { return kPlain; }

const Mp4Kernels& Mp4SelectedKernels() {
  static const Mp4Kernels& chosen = []() -> const Mp4Kernels& {
    const Mp4Kernels* sse2 = Mp4Sse2Kernels();
    return sse2 ? *sse2 : kPlain;
  }();
  return chosen;
}
