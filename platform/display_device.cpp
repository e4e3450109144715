#include "platform/display_device.h"

namespace platform {

std::unique_ptr<DisplayDevice> CreateDisplayDevice() {
  const std::shared_ptr<DisplayBackend> backend = BackendSlot<DisplayBackend>::Current();
  return backend ? backend->CreateDevice() : nullptr;
}

}  // namespace platform
