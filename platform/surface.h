#pragma once
// Off-screen picture surfaces: memory the renderer locks to copy pictures
// into, stretches from one surface to another and writes text on.  A back
// end (platform/qt/) provides them through a DisplayDevice.
//
// Results are 0 for success and one of the negative SurfaceResult codes for
// failure, so that callers can hand a failure on as their own result.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

namespace SurfaceResult {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kInvalidArgument = -2;
inline constexpr int32_t kUnsupportedFormat = -3;
inline constexpr int32_t kOutOfMemory = -4;
// The surface's memory is gone; Restore brings it back (contents undefined).
inline constexpr int32_t kSurfaceLost = -5;
// The surface is locked or has a text context open.
inline constexpr int32_t kBusy = -6;
inline constexpr int32_t kNoWindow = -7;
}  // namespace SurfaceResult

struct SurfacePixelFormat {
  enum class Kind { kRgb, kFourCc };
  Kind kind = Kind::kRgb;
  int bitCount = 32;
  uint32_t redMask = 0xFF0000;
  uint32_t greenMask = 0xFF00;
  uint32_t blueMask = 0xFF;
  uint32_t fourCc = 0;  // kFourCc only, e.g. MakeFourCc('Y','U','Y','2')

  // 32-bit RGB with the bytes B, G, R, X in memory.
  static SurfacePixelFormat Rgb32() { return {}; }
  static SurfacePixelFormat FourCc(uint32_t code) { return {Kind::kFourCc, 16, 0, 0, 0, code}; }
};

constexpr uint32_t MakeFourCc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

struct SurfaceRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct TextColour {
  uint8_t red = 0, green = 0, blue = 0;
};

// What a text is drawn with; made by DisplayDevice::CreateFont.
struct FontSpec {
  // Height of a line of text (ascent + descent) in pixels.
  int cellHeight = 0;
  // 100 (thin) .. 400 (normal) .. 700 (bold) .. 900.
  int weight = 400;
  std::wstring face;
  // When set, a face whose rendering of fitText is wider than fitWidth
  // pixels is condensed until it fits: the caller's layout reserves that
  // much room, and a substitute face may be wider than the one it wanted.
  std::wstring fitText;
  int fitWidth = 0;
};

class Font {
 public:
  virtual ~Font() = default;
  virtual int TextWidth(std::wstring_view text) const = 0;
};

// Text drawing on a surface, open from GetDC until the context is
// destroyed.  Text has a transparent background and is placed by the
// top-left corner of its line: the baseline is y + the font's ascent.
class TextContext {
 public:
  virtual ~TextContext() = default;
  virtual void SelectFont(const Font& font) = 0;
  virtual void TextOut(int x, int y, std::wstring_view text, TextColour colour) = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual SurfacePixelFormat PixelFormat() const = 0;

  struct Locked {
    uint8_t* bits = nullptr;
    int pitch = 0;  // bytes from one row to the next
  };
  // Gives direct access to the whole surface until Unlock.
  virtual int32_t Lock(Locked& out) = 0;
  virtual void Unlock() = 0;
  // Brings back a lost surface's memory.
  virtual int32_t Restore() = 0;
  // Stretches sourceRect of source (clipped to source) over the whole of
  // this surface.
  virtual int32_t StretchBlit(const Surface& source, const SurfaceRect& sourceRect) = 0;
  virtual int32_t GetDC(std::unique_ptr<TextContext>& out) = 0;
};

}  // namespace platform
