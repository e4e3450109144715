#pragma once
// The window pictures are shown in.  The renderer hands it a finished
// picture from whichever thread draws; the window shows it scaled to its
// client area on the user-interface thread.
#include <cstdint>

namespace platform {

class Surface;

class VideoWindow {
 public:
  virtual ~VideoWindow() = default;
  // Takes the surface's picture for showing and asks for a repaint.  The
  // surface keeps its size and format, but its contents are undefined
  // afterwards (the window may trade its previous picture for it).
  // 0, or a negative SurfaceResult when the surface is not one this
  // window can show.
  virtual int32_t Present(Surface& picture) = 0;
  // Asks for the current picture to be painted again.
  virtual void Refresh() = 0;
};

}  // namespace platform
