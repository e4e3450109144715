// "dewarp.ini" as anyone may write it: the profile reader and the settings
// loader on any text, then, for settings whose views are small enough to
// compose quickly, one view of each layout family over a small square
// picture.  No value from the file may divide by zero, wrap a size or send a
// table lookup outside the picture or the composite.
#include <cstdint>
#include <string_view>
#include <vector>

#include "dewarp/dewarp_settings.h"
#include "dewarp/fisheye_view.h"
#include "dewarp/profile_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ProfileText profile(text);
  (void)profile.ReadU16("lens_param", "a1", 0);
  DewarpSettings settings;
  LoadDewarpSettingsFromText(&settings, text);
  const uint64_t pixels = uint64_t{settings.w1R} * settings.h1R + uint64_t{settings.w4R} * settings.h4R;
  if (pixels > 256 * 256) return 0;
  constexpr int kSide = 48;
  std::vector<uint32_t> picture(kSide * kSide);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint32_t>(i * 2654435761u);
  FisheyeView view(settings, [] { return 0u; });
  view.ComposeFisheyeView(picture.data(), kSide, kSide, 0);
  for (const int mode : {1, 4, 6, 9, 11, 21, 22, 26}) {
    view.SetViewMode(mode);
    view.ComposeFisheyeView(picture.data(), kSide, kSide, 0);
    view.DrawSelectionBorder();
    view.OnDewarpMouse(kDewarpButtonDown, 0, 10, 10, 64, 64);
    view.OnDewarpMouse(kDewarpMouseMove, 0, 40, 30, 64, 64);
    view.OnDewarpMouse(kDewarpWheel, 120, 40, 30, 64, 64);
    view.OnDewarpMouse(kDewarpButtonUp, 0, 40, 30, 64, 64);
    view.ComposeFisheyeView(picture.data(), kSide, kSide, 0);
  }
  return 0;
}
