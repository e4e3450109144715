#include "codecs/pixels/pixel_kernels.h"

#include <cstring>

#include "codecs/cpu_features.h"
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
  static constexpr KernelSet set{"plain",
                                 yuv_scalar::YuvToRgb24,
                                 yuv_scalar::YuvToRgb32,
                                 yuv_scalar::YuvToRgb565,
                                 yuv_scalar::YuvToYuy2,
                                 yuv_scalar::YuvToUyvy,
                                 CopyRgb32RowSettingBits};
  return set;
}

const std::vector<Candidate>& Candidates() {
  static const std::vector<Candidate> candidates = [] {
    std::vector<Candidate> sets{{&Plain(), true}};
#if defined(ORLENTA_X86_KERNELS)
    const codecs::CpuFeatures& cpu = codecs::ProcessorFeatures();
    sets.push_back({&Sse2Set(), cpu.sse2});
    sets.push_back({&Avx2Set(), cpu.avx2});
#endif
    return sets;
  }();
  return candidates;
}

const KernelSet& Active() {
  static const KernelSet& chosen = [&]() -> const KernelSet& {
    const KernelSet* best = &Plain();
    for (const Candidate& candidate : Candidates())
      if (candidate.runsHere) best = candidate.set;
    return *best;
  }();
  return chosen;
}

}  // namespace pixel_kernels
