#include "platform/display_device.h"

namespace platform {

std::unique_ptr<DisplayDevice> CreateDisplayDevice() {
  const std::shared_ptr<DisplayBackend> backend = BackendSlot<DisplayBackend>::Current();
  return backend ? backend->CreateDevice() : nullptr;
}

namespace {

class PresentingWindowSurface : public WindowSurface {
 public:
  explicit PresentingWindowSurface(VideoWindow& window) : window_(window) {}
  int32_t Blit(Surface& picture) override { return window_.Present(picture); }
  int32_t Refresh() override {
    window_.Refresh();
    return SurfaceResult::kOk;
  }

 private:
  VideoWindow& window_;
};

}  // namespace

int32_t WindowBoundDisplayDevice::SetCooperativeLevel(VideoWindow* window) {
  if (!window) return SurfaceResult::kNoWindow;
  window_ = window;
  return SurfaceResult::kOk;
}

int32_t WindowBoundDisplayDevice::CreateWindowSurface(std::unique_ptr<WindowSurface>& out) {
  out.reset();
  if (!window_) return SurfaceResult::kNoWindow;
  out = std::make_unique<PresentingWindowSurface>(*window_);
  return SurfaceResult::kOk;
}

}  // namespace platform
