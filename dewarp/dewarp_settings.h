#pragma once
// The tunable values of the fisheye views, read once at start-up from
// "dewarp.ini" in the current directory and never written back.
#include <cstdint>
#include <filesystem>
#include <string_view>

struct DewarpSettings {
  // Lens centre and fisheye circle radius, in 1/10000 of the smaller side
  // of the source picture (panorama views only).
  uint16_t centerX = 5000;
  uint16_t centerY = 5000;
  uint16_t radius = 5000;
  // Lens polynomial: where a ray at angle t from the axis lands, as a
  // fraction of half the source width.
  double a0 = 0.0;
  double a1 = 0.39896;
  double a2 = 0.015511;
  double a3 = 0.081442;
  double a4 = -0.018715;
  double a5 = 0.0;
  uint16_t w1R = 960;     // single view
  uint16_t h1R = 720;
  uint16_t w1Rmov = 640;  // single view while the mouse drags it
  uint16_t h1Rmov = 480;
  uint16_t w4R = 640;     // one quad tile
  uint16_t h4R = 480;
  uint16_t ratio = 2;     // source size to panorama and wall 180 size
  uint16_t cut = 6;       // bands of the wall 180 view; top and bottom dropped
  uint16_t MoveSensitivity = 4;    // client pixels per degree
  uint16_t WheelSensitivity = 24;  // wheel units per degree of zoom
};

// The defaults, for users without a record of their own.
const DewarpSettings& DefaultDewarpSettings();

// Fills *settings from "dewarp.ini" in the current directory.  A missing
// file, a missing key, and a value outside its range leave the default.
void LoadDewarpSettings(DewarpSettings* settings);
void LoadDewarpSettings(DewarpSettings* settings, const std::filesystem::path& file);
// The same from the text of such a file.
void LoadDewarpSettingsFromText(DewarpSettings* settings, std::string_view text);
