#include "platform/qt/qt_display.h"

#include <QGuiApplication>

#include "platform/qt/qt_font.h"
#include "platform/qt/qt_surface.h"

namespace platform {
namespace {

class QtWindowSurface : public WindowSurface {
 public:
  explicit QtWindowSurface(VideoWindow& window) : window_(window) {}
  int32_t Blit(Surface& picture) override { return window_.Present(picture); }
  int32_t Refresh() override {
    window_.Refresh();
    return SurfaceResult::kOk;
  }

 private:
  VideoWindow& window_;
};

class QtDisplayDevice : public DisplayDevice {
 public:
  int32_t SetCooperativeLevel(VideoWindow* window) override {
    if (!window) return SurfaceResult::kNoWindow;
    window_ = window;
    return SurfaceResult::kOk;
  }

  int32_t CreateWindowSurface(std::unique_ptr<WindowSurface>& out) override {
    out.reset();
    if (!window_) return SurfaceResult::kNoWindow;
    out = std::make_unique<QtWindowSurface>(*window_);
    return SurfaceResult::kOk;
  }

  int32_t CreateSurface(int width, int height, const SurfacePixelFormat* format,
                        std::unique_ptr<Surface>& out) override {
    return QtSurface::Create(width, height, format, out);
  }

  std::unique_ptr<Font> CreateFont(const FontSpec& spec) override { return MakeQtFont(spec); }

 private:
  VideoWindow* window_ = nullptr;
};

}  // namespace

std::unique_ptr<DisplayDevice> QtDisplayBackend::CreateDevice() {
  // Fonts and text need the application's font database.
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return std::make_unique<QtDisplayDevice>();
}

}  // namespace platform
