#pragma once
// The pictures and texts the renderer's tests draw, on any display back end.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace render_test {

inline constexpr uint32_t kGrey = 0xFF808080;
inline constexpr uint32_t kGreen = 0xFF00FF00;
inline constexpr uint32_t kBlack = 0xFF000000;
inline constexpr int kFontHeight = 26;

inline constexpr wchar_t kTitle[] = L"Camera 01";
inline constexpr wchar_t kTime[] = L"2024/05/17 13:45:09";

// Pixels B, G, R, X as the decoders write them; X is left 0 on purpose.
inline std::vector<uint8_t> Picture(int width, int height, uint32_t rgb) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = rgb & 0xFF;
    pixels[i + 1] = rgb >> 8 & 0xFF;
    pixels[i + 2] = rgb >> 16 & 0xFF;
    pixels[i + 3] = 0;
  }
  return pixels;
}

}  // namespace render_test
