#pragma once
// The display back end on Qt: memory surfaces painted with QPainter, shown
// in a QtVideoWidget.  Devices can be made once a QGuiApplication exists.
#include "platform/display_device.h"

namespace platform {

class QtDisplayBackend : public DisplayBackend {
 public:
  std::unique_ptr<DisplayDevice> CreateDevice() override;
};

}  // namespace platform
