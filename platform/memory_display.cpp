#include "platform/memory_display.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform {
namespace {

// As the window back end: larger surfaces are refused, not attempted.
constexpr int kMaxSide = 16384;

bool IsRgb32(const SurfacePixelFormat& format) {
  const SurfacePixelFormat rgb32 = SurfacePixelFormat::Rgb32();
  return format.kind == SurfacePixelFormat::Kind::kRgb && format.bitCount == 32 &&
         format.redMask == rgb32.redMask && format.greenMask == rgb32.greenMask &&
         format.blueMask == rgb32.blueMask;
}

class MemoryFont : public Font {
 public:
  explicit MemoryFont(int cellHeight) : charWidth_(std::max(cellHeight / 2, 1)) {}
  int TextWidth(std::wstring_view text) const override { return charWidth_ * static_cast<int>(text.size()); }

 private:
  int charWidth_;
};

}  // namespace

class MemorySurface : public Surface {
 public:
  MemorySurface(int width, int height, std::vector<uint8_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  SurfacePixelFormat PixelFormat() const override { return SurfacePixelFormat::Rgb32(); }

  int32_t Lock(Locked& out) override {
    if (busy_) return SurfaceResult::kBusy;
    busy_ = true;
    texts_.clear();
    out.bits = pixels_.data();
    out.pitch = width_ * 4;
    return SurfaceResult::kOk;
  }
  void Unlock() override { busy_ = false; }
  int32_t Restore() override { return SurfaceResult::kOk; }

  // Nearest pixel: the memory display keeps what was drawn, not how
  // smoothly a screen would scale it.
  int32_t StretchBlit(const Surface& source, const SurfaceRect& rect) override {
    const auto* from = dynamic_cast<const MemorySurface*>(&source);
    if (!from) return SurfaceResult::kUnsupportedFormat;
    if (from == this) return SurfaceResult::kInvalidArgument;
    if (busy_ || from->busy_) return SurfaceResult::kBusy;
    const int left = std::max(rect.left, 0), top = std::max(rect.top, 0);
    const int right = std::min(rect.right, from->width_), bottom = std::min(rect.bottom, from->height_);
    if (right <= left || bottom <= top) return SurfaceResult::kInvalidArgument;
    const int width = right - left, height = bottom - top;
    texts_.clear();
    for (int y = 0; y < height_; ++y) {
      const int sy = top + static_cast<int>((static_cast<int64_t>(y) * 2 + 1) * height / (2 * height_));
      const uint8_t* row = from->pixels_.data() + static_cast<size_t>(sy) * from->width_ * 4;
      uint8_t* to = pixels_.data() + static_cast<size_t>(y) * width_ * 4;
      for (int x = 0; x < width_; ++x) {
        const int sx = left + static_cast<int>((static_cast<int64_t>(x) * 2 + 1) * width / (2 * width_));
        std::memcpy(to + 4 * x, row + 4 * sx, 4);
      }
    }
    return SurfaceResult::kOk;
  }

  int32_t GetDC(std::unique_ptr<TextContext>& out) override;

  // Trades pixels and texts with the window's; a picture of another size
  // is not kept.
  void Swap(MemoryPicture& picture, std::vector<DrawnText>& texts) {
    std::swap(picture.pixels, pixels_);
    picture.width = width_;
    picture.height = height_;
    texts = std::move(texts_);
    texts_.clear();
    if (pixels_.size() != static_cast<size_t>(width_) * height_ * 4) {
      pixels_.assign(static_cast<size_t>(width_) * height_ * 4, 0);
    }
  }
  bool Busy() const { return busy_; }

 private:
  friend class MemoryText;
  int width_;
  int height_;
  std::vector<uint8_t> pixels_;
  std::vector<DrawnText> texts_;
  bool busy_ = false;
};

class MemoryText : public TextContext {
 public:
  explicit MemoryText(MemorySurface& surface) : surface_(surface) { surface_.busy_ = true; }
  ~MemoryText() override { surface_.busy_ = false; }
  void SelectFont(const Font&) override {}
  void TextOut(int x, int y, std::wstring_view text, TextColour colour) override {
    surface_.texts_.push_back({x, y, std::wstring(text), colour});
  }

 private:
  MemorySurface& surface_;
};

int32_t MemorySurface::GetDC(std::unique_ptr<TextContext>& out) {
  out.reset();
  if (busy_) return SurfaceResult::kBusy;
  out = std::make_unique<MemoryText>(*this);
  return SurfaceResult::kOk;
}

namespace {

class MemoryDisplayDevice : public WindowBoundDisplayDevice {
 public:
  int32_t CreateSurface(int width, int height, const SurfacePixelFormat* format,
                        std::unique_ptr<Surface>& out) override {
    out.reset();
    if (format && !IsRgb32(*format)) return SurfaceResult::kUnsupportedFormat;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
      return SurfaceResult::kInvalidArgument;
    }
    try {
      out = std::make_unique<MemorySurface>(width, height,
                                            std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 0));
    } catch (const std::bad_alloc&) {
      return SurfaceResult::kOutOfMemory;
    }
    return SurfaceResult::kOk;
  }

  std::unique_ptr<Font> CreateFont(const FontSpec& spec) override {
    return std::make_unique<MemoryFont>(spec.cellHeight);
  }
};

}  // namespace

int32_t MemoryVideoWindow::Present(Surface& picture) {
  auto* surface = dynamic_cast<MemorySurface*>(&picture);
  if (!surface) return SurfaceResult::kUnsupportedFormat;
  if (surface->Busy()) return SurfaceResult::kBusy;
  std::lock_guard lock(mutex_);
  surface->Swap(picture_, texts_);
  ++presents_;
  return SurfaceResult::kOk;
}

// The picture kept is the one shown: there is nothing to paint again.
void MemoryVideoWindow::Refresh() {}

MemoryPicture MemoryVideoWindow::Picture() const {
  std::lock_guard lock(mutex_);
  return picture_;
}

std::vector<DrawnText> MemoryVideoWindow::Texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

int MemoryVideoWindow::Presents() const {
  std::lock_guard lock(mutex_);
  return presents_;
}

std::unique_ptr<DisplayDevice> MemoryDisplayBackend::CreateDevice() {
  return std::make_unique<MemoryDisplayDevice>();
}

}  // namespace platform
