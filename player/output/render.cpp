#include "player/output/render.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "codecs/pixels/pixel_kernels.h"
#include "platform/trace.h"

namespace {

using platform::SurfaceResult::kOk;

constexpr int kOsdFontHeight = 26;
constexpr int kOsdFontWeight = 700;
constexpr wchar_t kOsdFontFace[] = L"Chicago";
// The layout gives each character of the time line 11 pixels (see the
// right-hand positions in CalcOsdRect); a substitute face wider than that
// is condensed so the time text stays on the picture.
constexpr wchar_t kTimeTextSample[] = L"0000/00/00 00:00:00";
constexpr int kTimeCharWidth = 11;

constexpr platform::TextColour kShadowColour{0, 0, 0};
constexpr platform::TextColour kTextColour{0, 0xFF, 0};

// 240- and 288-line pictures wider than 360 pixels are fields: shown with
// every line doubled.
int SurfaceHeight(int width, int height) {
  return width > 360 && (height == 240 || height == 288) ? 2 * height : height;
}

int MergeWidth(int width) { return width < 640 ? 720 : width; }

int MergeHeight(int surfaceHeight) {
  return surfaceHeight <= 256 ? 2 * surfaceHeight : surfaceHeight;
}

int TextLength(const wchar_t* text) {
  return text ? static_cast<int>(std::wcslen(text)) : 0;
}

}  // namespace

CQxRender::~CQxRender() { Release(); }

void CQxRender::SetOutputFormat(int bitsPerPixel, int overlay) {
  depth_ = bitsPerPixel;
  overlay_ = overlay;
}

int CQxRender::Init(platform::VideoWindow* window, int width, int height) {
  platform::SurfacePixelFormat format;
  if (overlay_) {
    format = platform::SurfacePixelFormat::FourCc(platform::MakeFourCc('Y', 'U', 'Y', '2'));
  } else {
    format = platform::SurfacePixelFormat::Rgb32();
    format.bitCount = depth_;
  }
  const int surfaceHeight = SurfaceHeight(width, height);

  Release();
  window_ = window;

  device_ = platform::CreateDisplayDevice();
  if (!device_) {
    platform::Trace("failed to create DirectDrawCreateEx!!!\n");
    return 0;
  }
  if (device_->SetCooperativeLevel(window_) != kOk) {
    platform::Trace("failed to run SetCooperativeLevel!!!");
    return 0;
  }
  if (device_->CreateWindowSurface(m_pDDSPrimary) != kOk) {
    platform::Trace("failed to create CreateSurface[m_pDDSPrimary]!!!\n");
    return 0;
  }
  // The picture surface has the picture's own height: line doubling is
  // left to the stretch onto the merge surface.
  if (const int32_t result = device_->CreateSurface(width, height, &format, m_pDDSVideo_D1);
      result != kOk) {
    platform::Trace("failed to create CreateSurface[m_pDDSVideo_D1]!!!\n");
    return result;
  }
  if (const int32_t result = device_->CreateSurface(MergeWidth(width), MergeHeight(surfaceHeight),
                                                    nullptr, m_pDDSMergeImage);
      result != kOk) {
    platform::Trace("failed to create CreateSurface[m_pDDSMergeImage]!!!\n");
    return result;
  }
  return 1;
}

int CQxRender::Draw(int width, int height, const uint8_t* pixels, const wchar_t* timeText,
                    const wchar_t* titleText, const wchar_t* /*fpsText*/) {
  // A failed Init can leave some surfaces made and others not.
  if (!device_ || !m_pDDSPrimary || !m_pDDSVideo_D1 || !m_pDDSMergeImage) return 0;
  if (width <= 0 || height <= 0 || !pixels) return 0;

  if (!font_) {
    platform::FontSpec spec;
    spec.cellHeight = kOsdFontHeight;
    spec.weight = kOsdFontWeight;
    spec.face = kOsdFontFace;
    spec.fitText = kTimeTextSample;
    // Less the pixel the shadow adds on the right.
    spec.fitWidth = kTimeCharWidth * TextLength(kTimeTextSample) - 1;
    font_ = device_->CreateFont(spec);
  }

  // A picture that fills a merge surface of its own size needs no stretch:
  // it is copied straight onto the merge surface, saving a second copy.
  const bool direct = m_pDDSMergeImage->Width() == m_pDDSVideo_D1->Width() &&
                      m_pDDSMergeImage->Height() == m_pDDSVideo_D1->Height() &&
                      width >= m_pDDSVideo_D1->Width() && height >= m_pDDSVideo_D1->Height();
  platform::Surface& target = direct ? *m_pDDSMergeImage : *m_pDDSVideo_D1;
  platform::Surface::Locked locked;
  if (target.Lock(locked) != kOk) {
    m_pDDSVideo_D1->Restore();
    m_pDDSMergeImage->Restore();
    platform::Trace("Failed to Lock surface memory...\n");
    return 0;
  }
  CopyPicture(target, locked, width, height, pixels);
  target.Unlock();

  if (!direct) {
    const platform::SurfaceRect source{0, 0, std::min(width, m_pDDSVideo_D1->Width()),
                                       std::min(height, m_pDDSVideo_D1->Height())};
    if (m_pDDSMergeImage->StretchBlit(*m_pDDSVideo_D1, source) != kOk) {
      platform::Trace("Blt Error 1");
    }
  }

  if (osdOn_) {
    if (const int result = DrawOsd(timeText, titleText); result != kOk) return result;
  }

  if (m_pDDSPrimary->Blit(*m_pDDSMergeImage) != kOk) platform::Trace("Blt Error 3\n");
  return 1;
}

// Rows the surface has no room for are left out, as are the ends of rows
// that are wider than it.  32-bit RGB pixels are written with their unused
// byte at 0xFF, which back ends that read it as alpha take as opaque; the
// caller's picture keeps its own bytes.
void CQxRender::CopyPicture(const platform::Surface& target, const platform::Surface::Locked& locked,
                            int width, int height, const uint8_t* pixels) const {
  const int bytesPerPixel = overlay_ ? 2 : depth_ / 8;
  if (bytesPerPixel <= 0) return;
  const size_t rowBytes = static_cast<size_t>(bytesPerPixel) * static_cast<size_t>(width);
  const int rows = std::min(height, target.Height());
  const int columns = std::min(width, target.Width());
  const size_t copyBytes = std::min(static_cast<size_t>(bytesPerPixel) * static_cast<size_t>(columns),
                                    static_cast<size_t>(std::max(locked.pitch, 0)));
  const platform::SurfacePixelFormat format = target.PixelFormat();
  const bool rgb32 = format.kind == platform::SurfacePixelFormat::Kind::kRgb &&
                     format.bitCount == 32 && bytesPerPixel == 4;
  const uint32_t unusedBits = ~(format.redMask | format.greenMask | format.blueMask);

  for (int y = 0; y < rows; ++y) {
    const uint8_t* from = pixels + static_cast<size_t>(y) * rowBytes;
    uint8_t* to = locked.bits + static_cast<ptrdiff_t>(y) * locked.pitch;
    if (!rgb32) {
      std::memcpy(to, from, copyBytes);
      continue;
    }
    pixel_kernels::Active().rgb32RowSettingBits(from, to, copyBytes / 4, unusedBits);
  }
}

// The title goes on the first line, the time on the second, each in green
// over a one-pixel black shadow to the lower right, placed on the merge
// surface by its own size.
int CQxRender::DrawOsd(const wchar_t* timeText, const wchar_t* titleText) {
  std::unique_ptr<platform::TextContext> dc;
  int32_t result = m_pDDSMergeImage->GetDC(dc);
  if (result == platform::SurfaceResult::kSurfaceLost && m_pDDSMergeImage->Restore() == kOk) {
    result = m_pDDSMergeImage->GetDC(dc);
  }
  if (result != kOk) return result;
  if (font_) dc->SelectFont(*font_);

  const int mergeWidth = m_pDDSMergeImage->Width();
  const int mergeHeight = m_pDDSMergeImage->Height();
  const std::wstring_view title = titleText ? titleText : L"";
  const std::wstring_view time = timeText ? timeText : L"";

  CalcOsdRect(0, mergeWidth, mergeHeight, kOsdFontHeight, static_cast<int>(title.size()));
  dc->TextOut(firstLine_.x + 1, firstLine_.y + 1, title, kShadowColour);
  dc->TextOut(firstLine_.x, firstLine_.y, title, kTextColour);

  CalcOsdRect(1, mergeWidth, mergeHeight, kOsdFontHeight, static_cast<int>(time.size()));
  dc->TextOut(secondLine_.x + 1, secondLine_.y + 1, time, kShadowColour);
  dc->TextOut(secondLine_.x, secondLine_.y, time, kTextColour);
  return kOk;
}

// The window keeps the last picture it was handed, so painting it again
// needs no blit.  Before Init there is nothing to paint.
int CQxRender::Repaint() {
  if (m_pDDSPrimary && m_pDDSPrimary->Refresh() != kOk) platform::Trace("Blt Error 3\n");
  return 1;
}

int CQxRender::SetOsdPosition(int position) {
  osdPosition_ = position;
  osdOn_ = position >= 1 && position <= 4 ? 1 : 0;
  return position;
}

void CQxRender::CalcOsdRect(int line, int width, int height, int fontHeight, int textLength) {
  firstLine_ = {};
  secondLine_ = {};
  if (!osdOn_) return;
  const bool right = osdPosition_ == 2 || osdPosition_ == 4;
  const bool bottom = osdPosition_ == 3 || osdPosition_ == 4;
  if (line == 0) {
    firstLine_.x = right ? width - 15 * textLength : 5;
    firstLine_.y = bottom ? height - 2 * fontHeight - 7 : 5;
  } else if (line == 1) {
    secondLine_.x = right ? width - 11 * textLength : 5;
    secondLine_.y = bottom ? height - fontHeight - 5 : fontHeight + 7;
  }
}

void CQxRender::Release() {
  m_pDDSVideo_D1.reset();
  m_pDDSMergeImage.reset();
  m_pDDSPrimary.reset();
  font_.reset();
  device_.reset();
}
