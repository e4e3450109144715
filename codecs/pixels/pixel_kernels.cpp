#include "codecs/pixels/pixel_kernels.h"

#include <cstring>

#include "codecs/kernels/cpu_features.h"
#include "codecs/pixels/yuv_scalar.h"
#if defined(ORLENTA_X86_KERNELS)
#include "codecs/pixels/pixel_kernels_x86.h"
#endif

namespace pixel_kernels {

void CopyRgb32RowSettingBits(const uint8_t* from, uint8_t* to, std::size_t pixels, uint32_t bits) {
  for (std::size_t i = 0; i < pixels; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, from + 4 * i, 4);
    pixel |= bits;
    std::memcpy(to + 4 * i, &pixel, 4);
  }
}

const KernelSet& Plain() {
  static constexpr KernelSet set{yuv_scalar::YuvToRgb24, yuv_scalar::YuvToRgb32, yuv_scalar::YuvToRgb565,
                                 yuv_scalar::YuvToYuy2,  yuv_scalar::YuvToUyvy,  CopyRgb32RowSettingBits};
  return set;
}

const codecs::KernelFamily<KernelSet>& Sets() {
  static const codecs::KernelFamily<KernelSet> family(Plain(), {
#if defined(ORLENTA_X86_KERNELS)
      {"sse2", codecs::kCpuSse2, FillSse2},
      {"avx2", codecs::kCpuAvx2, FillAvx2},
#endif
  });
  return family;
}

const KernelSet& Active() { return Sets().Chosen(); }

}  // namespace pixel_kernels
