#include "platform/display_device.h"

#include <mutex>

namespace platform {
namespace {

std::mutex& BackendMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<DisplayBackend>& CurrentBackend() {
  static std::shared_ptr<DisplayBackend> backend;
  return backend;
}

}  // namespace

std::unique_ptr<DisplayDevice> CreateDisplayDevice() {
  std::shared_ptr<DisplayBackend> backend;
  {
    std::lock_guard lock(BackendMutex());
    backend = CurrentBackend();
  }
  return backend ? backend->CreateDevice() : nullptr;
}

std::shared_ptr<DisplayBackend> SetDisplayBackend(std::shared_ptr<DisplayBackend> backend) {
  std::lock_guard lock(BackendMutex());
  std::swap(CurrentBackend(), backend);
  return backend;
}

}  // namespace platform
