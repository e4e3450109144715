#include "platform/qt/qt_display.h"

#include <QGuiApplication>

#include "platform/qt/qt_font.h"
#include "platform/qt/qt_surface.h"

namespace platform {
namespace {

class QtDisplayDevice : public WindowBoundDisplayDevice {
 public:
  int32_t CreateSurface(int width, int height, const SurfacePixelFormat* format,
                        std::unique_ptr<Surface>& out) override {
    return QtSurface::Create(width, height, format, out);
  }

  std::unique_ptr<Font> CreateFont(const FontSpec& spec) override { return MakeQtFont(spec); }
};

}  // namespace

std::unique_ptr<DisplayDevice> QtDisplayBackend::CreateDevice() {
  // Fonts and text need the application's font database.
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return std::make_unique<QtDisplayDevice>();
}

}  // namespace platform
