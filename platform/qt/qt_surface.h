#pragma once
// Off-screen surfaces in memory, as QImages.  Any thread may use a surface
// (painting on a QImage needs no user-interface thread); one thread at a
// time, as with any surface.
#include <QImage>

#include "platform/surface.h"

namespace platform {

class QtSurface : public Surface {
 public:
  // Only 32-bit RGB with the masks 0xFF0000, 0xFF00, 0xFF is supported;
  // a null format means that one.
  static int32_t Create(int width, int height, const SurfacePixelFormat* format,
                        std::unique_ptr<Surface>& out);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  SurfacePixelFormat PixelFormat() const override { return SurfacePixelFormat::Rgb32(); }
  int32_t Lock(Locked& out) override;
  void Unlock() override;
  int32_t Restore() override;
  int32_t StretchBlit(const Surface& source, const SurfaceRect& sourceRect) override;
  int32_t GetDC(std::unique_ptr<TextContext>& out) override;

  // Trades the surface's picture for 'picture'.  A picture that does not
  // fit the surface is not kept: the surface makes a fresh one instead.
  int32_t SwapPicture(QImage& picture);

 private:
  class Text;
  enum class State { kIdle, kLocked, kPainting };

  QtSurface(int width, int height, QImage image);
  bool Fits(const QImage& picture) const;

  int width_;
  int height_;
  QImage image_;  // null only when memory could not be had: the surface is lost
  State state_ = State::kIdle;
};

}  // namespace platform
