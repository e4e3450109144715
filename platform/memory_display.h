#pragma once
// The display back end in memory: surfaces are plain pixel arrays, text is
// recorded instead of rasterised, and the window keeps the last picture it
// was handed.  Decoding and drawing run with it where there is no display
// (the tools, the engine's tests).
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/display_device.h"

namespace platform {

// 32-bit pixels B, G, R, X, rows of width * 4 bytes, top-down.
struct MemoryPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// A text drawn on a surface: its top-left corner, as TextOut placed it.
struct DrawnText {
  int x = 0;
  int y = 0;
  std::wstring text;
  TextColour colour;
};

class MemoryVideoWindow : public VideoWindow {
 public:
  // Takes a memory surface's picture with the texts drawn on it since its
  // pixels were last written.
  int32_t Present(Surface& picture) override;
  void Refresh() override;

  // Any thread.
  MemoryPicture Picture() const;
  std::vector<DrawnText> Texts() const;
  int Presents() const;

 private:
  mutable std::mutex mutex_;
  MemoryPicture picture_;
  std::vector<DrawnText> texts_;
  int presents_ = 0;
};

class MemoryDisplayBackend : public DisplayBackend {
 public:
  std::unique_ptr<DisplayDevice> CreateDevice() override;
};

}  // namespace platform
