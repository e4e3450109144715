#include "platform/qt/qt_surface.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstring>

#include "platform/qt/qt_font.h"

namespace platform {
namespace {

// QImage counts bytes in int; larger surfaces than this are refused.
constexpr int kMaxSide = 16384;

bool IsSupported(const SurfacePixelFormat& format) {
  const SurfacePixelFormat rgb32 = SurfacePixelFormat::Rgb32();
  return format.kind == SurfacePixelFormat::Kind::kRgb && format.bitCount == 32 &&
         format.redMask == rgb32.redMask && format.greenMask == rgb32.greenMask &&
         format.blueMask == rgb32.blueMask;
}

}  // namespace

class QtSurface::Text : public TextContext {
 public:
  explicit Text(QtSurface& surface) : surface_(surface), painter_(&surface.image_) {
    surface_.state_ = State::kPainting;
  }
  ~Text() override {
    painter_.end();
    surface_.state_ = State::kIdle;
  }

  void SelectFont(const Font& font) override {
    const auto* qtFont = dynamic_cast<const QtFont*>(&font);
    if (!qtFont) return;
    painter_.setFont(qtFont->font());
    ascent_ = QFontMetrics(qtFont->font()).ascent();
  }

  void TextOut(int x, int y, std::wstring_view text, TextColour colour) override {
    painter_.setPen(QColor(colour.red, colour.green, colour.blue));
    painter_.drawText(QPoint(x, y + ascent_),
                      QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size())));
  }

 private:
  QtSurface& surface_;
  QPainter painter_;
  int ascent_ = 0;
};

int32_t QtSurface::Create(int width, int height, const SurfacePixelFormat* format,
                          std::unique_ptr<Surface>& out) {
  out.reset();
  if (format && !IsSupported(*format)) return SurfaceResult::kUnsupportedFormat;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return SurfaceResult::kInvalidArgument;
  }
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return SurfaceResult::kOutOfMemory;
  image.fill(Qt::black);
  out.reset(new QtSurface(width, height, std::move(image)));
  return SurfaceResult::kOk;
}

QtSurface::QtSurface(int width, int height, QImage image)
    : width_(width), height_(height), image_(std::move(image)) {}

bool QtSurface::Fits(const QImage& picture) const {
  return picture.width() == width_ && picture.height() == height_ &&
         picture.format() == QImage::Format_RGB32;
}

int32_t QtSurface::Lock(Locked& out) {
  if (state_ != State::kIdle) return SurfaceResult::kBusy;
  if (image_.isNull()) return SurfaceResult::kSurfaceLost;
  out.bits = image_.bits();  // detaches from a window still holding this picture
  if (!out.bits) return SurfaceResult::kOutOfMemory;
  out.pitch = static_cast<int>(image_.bytesPerLine());
  state_ = State::kLocked;
  return SurfaceResult::kOk;
}

void QtSurface::Unlock() {
  if (state_ == State::kLocked) state_ = State::kIdle;
}

int32_t QtSurface::Restore() {
  if (!image_.isNull()) return SurfaceResult::kOk;
  QImage image(width_, height_, QImage::Format_RGB32);
  if (image.isNull()) return SurfaceResult::kOutOfMemory;
  image_ = std::move(image);
  return SurfaceResult::kOk;
}

int32_t QtSurface::StretchBlit(const Surface& source, const SurfaceRect& sourceRect) {
  const auto* from = dynamic_cast<const QtSurface*>(&source);
  if (!from) return SurfaceResult::kUnsupportedFormat;
  if (from == this) return SurfaceResult::kInvalidArgument;
  if (state_ != State::kIdle || from->state_ != State::kIdle) return SurfaceResult::kBusy;
  if (image_.isNull() || from->image_.isNull()) return SurfaceResult::kSurfaceLost;

  const int left = std::max(sourceRect.left, 0);
  const int top = std::max(sourceRect.top, 0);
  const int right = std::min(sourceRect.right, from->width_);
  const int bottom = std::min(sourceRect.bottom, from->height_);
  if (right <= left || bottom <= top) return SurfaceResult::kInvalidArgument;
  const int width = right - left, height = bottom - top;

  if (width == width_ && height == height_) {
    uint8_t* to = image_.bits();
    if (!to) return SurfaceResult::kOutOfMemory;
    const qsizetype toPitch = image_.bytesPerLine();
    for (int y = 0; y < height; ++y) {
      std::memcpy(to + y * toPitch, from->image_.constScanLine(top + y) + left * 4,
                  static_cast<size_t>(width) * 4);
    }
    return SurfaceResult::kOk;
  }
  QPainter painter(&image_);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(0, 0, width_, height_), from->image_, QRect(left, top, width, height));
  return SurfaceResult::kOk;
}

int32_t QtSurface::GetDC(std::unique_ptr<TextContext>& out) {
  out.reset();
  if (state_ != State::kIdle) return SurfaceResult::kBusy;
  if (image_.isNull()) return SurfaceResult::kSurfaceLost;
  out = std::make_unique<Text>(*this);
  return SurfaceResult::kOk;
}

int32_t QtSurface::SwapPicture(QImage& picture) {
  if (state_ != State::kIdle) return SurfaceResult::kBusy;
  if (image_.isNull()) return SurfaceResult::kSurfaceLost;
  std::swap(image_, picture);
  if (!Fits(image_)) image_ = QImage(width_, height_, QImage::Format_RGB32);
  return SurfaceResult::kOk;
}

}  // namespace platform
