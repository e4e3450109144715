#include "codecs/kernels/kernel_mask.h"

#include <mutex>

#include "codecs/kernels/cpu_features.h"

namespace codecs {

namespace {

// One lock for both, so that no family chooses between a call's check and
// its new mask.
struct Mask {
  std::mutex lock;
  uint32_t features = kAllCpuFeatures;
  bool fixed = false;
};

Mask& TheMask() {
  static Mask mask;
  return mask;
}

}  // namespace

bool LimitKernelFeatures(uint32_t mask) {
  Mask& m = TheMask();
  const std::lock_guard<std::mutex> hold(m.lock);
  if (m.fixed) return false;
  m.features = mask;
  return true;
}

uint32_t KernelFeatures() {
  Mask& m = TheMask();
  const std::lock_guard<std::mutex> hold(m.lock);
  m.fixed = true;
  return ProcessorFeatures() & m.features;
}

}  // namespace codecs
