#pragma once
// A decoded picture's 8-bit 4:2:0 planes as any decoder kind hands them to
// whoever looks before conversion: Y of width x height, U and V of
// (width + 1) / 2 x (height + 1) / 2.  The planes belong to the decoder and
// are valid only during the call that shows them.
#include <cstddef>
#include <cstdint>
#include <functional>

struct DecodedPlanes {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  ptrdiff_t yStride = 0;
  ptrdiff_t uStride = 0;
  ptrdiff_t vStride = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Sees each decoded picture's planes before they are converted (tools that
// check a decoder's planes).
using DecodedPictureObserver = std::function<void(const DecodedPlanes&)>;
