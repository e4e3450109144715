#pragma once
#include <cstdint>

struct PictureSize {
  uint16_t width = 0;
  uint16_t height = 0;
};
