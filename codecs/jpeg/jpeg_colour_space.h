#pragma once
// Whether a three-component picture holds YCbCr or RGB.  The frame header
// does not say; the markers around it do, read in this order: a JFIF APP0
// segment means YCbCr; else an Adobe APP14 segment decides by its
// transform byte (0: no transform, RGB; any other: YCbCr); else component
// ids 'R', 'G', 'B' mean RGB; else YCbCr.
#include <cstddef>
#include <cstdint>

namespace jpeg {

struct ColourMarkers {
  bool jfif = false;
  bool adobe = false;
  uint8_t adobeTransform = 0;
};

// The most of an APPn segment's data that NoteApplicationData looks at.
constexpr size_t kApplicationDataExamined = 14;

// Notes what the first `size` bytes of an APPn segment's data (after its
// length) say; a segment too short for its identifier's fixed fields says
// nothing.
void NoteApplicationData(int marker, const uint8_t* data, size_t size, ColourMarkers& markers);

// `ids` are the frame header's three component ids, in frame order.
bool IsRgb(const ColourMarkers& markers, const int ids[3]);

}  // namespace jpeg
