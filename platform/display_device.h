#pragma once
// The display device: makes the surfaces and fonts of one renderer and ties
// them to the window the pictures go to.  Devices come from the installed
// display back end (the program installs the Qt one at start-up; without
// one no device can be made).
#include <cstdint>
#include <memory>

#include "platform/backend_slot.h"
#include "platform/surface.h"
#include "platform/video_window.h"

namespace platform {

// The device's view of its window: pictures blitted here end up in the
// window, scaled to its client area and kept inside it.
class WindowSurface {
 public:
  virtual ~WindowSurface() = default;
  virtual int32_t Blit(Surface& picture) = 0;
  virtual int32_t Refresh() = 0;
};

class DisplayDevice {
 public:
  virtual ~DisplayDevice() = default;
  // Binds the device to the window; needed before CreateWindowSurface.
  virtual int32_t SetCooperativeLevel(VideoWindow* window) = 0;
  virtual int32_t CreateWindowSurface(std::unique_ptr<WindowSurface>& out) = 0;
  // An off-screen surface; without a format, the display's own (32-bit RGB).
  virtual int32_t CreateSurface(int width, int height, const SurfacePixelFormat* format,
                                std::unique_ptr<Surface>& out) = 0;
  virtual std::unique_ptr<Font> CreateFont(const FontSpec& spec) = 0;
};

// The window binding every device shares: its window surface presents each
// picture to the bound window.  A back end only makes surfaces and fonts.
class WindowBoundDisplayDevice : public DisplayDevice {
 public:
  int32_t SetCooperativeLevel(VideoWindow* window) override;
  int32_t CreateWindowSurface(std::unique_ptr<WindowSurface>& out) override;

 private:
  VideoWindow* window_ = nullptr;
};

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual std::unique_ptr<DisplayDevice> CreateDevice() = 0;
};

// Null when no back end is installed.
std::unique_ptr<DisplayDevice> CreateDisplayDevice();

// Installs a back end (null: none) and returns the one it replaces.
inline std::shared_ptr<DisplayBackend> SetDisplayBackend(std::shared_ptr<DisplayBackend> backend) {
  return BackendSlot<DisplayBackend>::Set(std::move(backend));
}

// Installs a back end for the lifetime of the object.
using ScopedDisplayBackend = ScopedBackend<DisplayBackend>;

}  // namespace platform
