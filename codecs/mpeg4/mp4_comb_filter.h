#pragma once
// Luma comb filter for interlaced pictures shown as frames: a sample of an
// odd row that differs from both its neighbours in the same direction (a
// comb tooth) takes the value of the row above.
#include <cstddef>
#include <cstdint>

// Filters rows 1, 3, ... of a width x height plane in place; even rows and
// the last row stay as they are.
void Mp4CombFilter(uint8_t* plane, ptrdiff_t stride, int width, int height);
