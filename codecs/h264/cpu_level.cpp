#include "codecs/h264/cpu_level.h"

#include "codecs/h264/avc_decoder.h"
#include "codecs/kernels/cpu_features.h"

namespace {

// The feature each level adds to the one below it.
constexpr uint32_t kLevelAdds[kCpuLevelAvx2 + 1] = {
    0, codecs::kCpuMmx, codecs::kCpuCmov, codecs::kCpuSse, codecs::kCpuSse2, codecs::kCpuSse3, codecs::kCpuSsse3,
    codecs::kCpuAvx2};

}  // namespace

uint32_t avc::CpuLevelFeatures(int32_t level) {
  uint32_t features = 0;
  for (int32_t added = 1; added <= level && added <= kCpuLevelAvx2; ++added) features |= kLevelAdds[added];
  return features;
}

int32_t avc::LowestCpuLevelWith(uint32_t features) {
  int32_t level = 0;
  while (level <= kCpuLevelAvx2 && (CpuLevelFeatures(level) & features) != features) ++level;
  return level;
}

// Other processors than x86 run the plain kernels, at level 2.
int32_t DetectCpuLevel() {
#if defined(__x86_64__) || defined(__i386__)
  const uint32_t features = codecs::ProcessorFeatures();
  int32_t level = 0;
  while (level < kCpuLevelAvx2 && (features & kLevelAdds[level + 1])) ++level;
  return level;
#else
  return 2;
#endif
}
