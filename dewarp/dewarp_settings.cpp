#include "dewarp/dewarp_settings.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#include "dewarp/profile_text.h"

namespace {

// Values the views can work with: a 0 divides, a huge tile needs gigabytes
// and twice a wide quad tile no longer fits 16 bits.
struct IntegerKey {
  const char* section;
  const char* name;
  uint16_t DewarpSettings::*field;
  uint16_t lowest;
  uint16_t highest;
};

constexpr IntegerKey kIntegerKeys[] = {
    {"center_param", "centerX", &DewarpSettings::centerX, 0, 10000},
    {"center_param", "centerY", &DewarpSettings::centerY, 0, 10000},
    {"center_param", "radius", &DewarpSettings::radius, 1, 10000},
    {"viewmode_param", "w1R", &DewarpSettings::w1R, 16, 4096},
    {"viewmode_param", "h1R", &DewarpSettings::h1R, 16, 4096},
    {"viewmode_param", "w1Rmov", &DewarpSettings::w1Rmov, 16, 4096},
    {"viewmode_param", "h1Rmov", &DewarpSettings::h1Rmov, 16, 4096},
    {"viewmode_param", "w4R", &DewarpSettings::w4R, 16, 4096},
    {"viewmode_param", "h4R", &DewarpSettings::h4R, 16, 4096},
    {"viewmode_param", "ratio", &DewarpSettings::ratio, 1, 16},
    {"viewmode_param", "cut", &DewarpSettings::cut, 3, 64},
    {"viewmode_param", "MoveSensitivity", &DewarpSettings::MoveSensitivity, 1, 65535},
    {"viewmode_param", "WheelSensitivity", &DewarpSettings::WheelSensitivity, 1, 65535},
};

struct LensKey {
  const char* name;
  double DewarpSettings::*field;
};

constexpr LensKey kLensKeys[] = {
    {"a0", &DewarpSettings::a0}, {"a1", &DewarpSettings::a1}, {"a2", &DewarpSettings::a2},
    {"a3", &DewarpSettings::a3}, {"a4", &DewarpSettings::a4}, {"a5", &DewarpSettings::a5},
};

// The decimal number the text starts with (after blanks), when it is one
// and finite.
std::optional<double> LeadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

const DewarpSettings& DefaultDewarpSettings() {
  static const DewarpSettings defaults;
  return defaults;
}

void LoadDewarpSettingsFromText(DewarpSettings* settings, std::string_view text) {
  const ProfileText profile(text);
  const DewarpSettings defaults;
  *settings = defaults;
  for (const LensKey& key : kLensKeys) {
    if (const std::optional<std::string> value = profile.Find("lens_param", key.name)) {
      if (const std::optional<double> number = LeadingNumber(*value)) settings->*key.field = *number;
    }
  }
  for (const IntegerKey& key : kIntegerKeys) {
    const uint16_t value = profile.ReadU16(key.section, key.name, defaults.*key.field);
    if (value >= key.lowest && value <= key.highest) settings->*key.field = value;
  }
}

void LoadDewarpSettings(DewarpSettings* settings, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  LoadDewarpSettingsFromText(settings, text);
}

void LoadDewarpSettings(DewarpSettings* settings) {
  std::error_code error;
  const std::filesystem::path directory = std::filesystem::current_path(error);
  if (error) {
    *settings = DewarpSettings{};
    return;
  }
  LoadDewarpSettings(settings, directory / "dewarp.ini");
}
