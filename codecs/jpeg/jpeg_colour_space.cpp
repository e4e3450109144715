#include "codecs/jpeg/jpeg_colour_space.h"

#include <cstring>

namespace jpeg {

namespace {

constexpr int kApp0 = 0xE0, kApp14 = 0xEE;

// JFIF (T.871): "JFIF\0", version, units, two densities, thumbnail size.
constexpr size_t kJfifFixedBytes = 14;
// Adobe (DCT filters note): "Adobe", version, two flag words, transform.
constexpr size_t kAdobeFixedBytes = 12;

bool Starts(const uint8_t* data, size_t size, const char* identifier, size_t identifierSize, size_t fixedBytes) {
  return size >= fixedBytes && std::memcmp(data, identifier, identifierSize) == 0;
}

}  // namespace

void NoteApplicationData(int marker, const uint8_t* data, size_t size, ColourMarkers& markers) {
  if (marker == kApp0 && Starts(data, size, "JFIF", 5, kJfifFixedBytes)) {
    markers.jfif = true;
  } else if (marker == kApp14 && Starts(data, size, "Adobe", 5, kAdobeFixedBytes)) {
    markers.adobe = true;
    markers.adobeTransform = data[kAdobeFixedBytes - 1];
  }
}

bool IsRgb(const ColourMarkers& markers, const int ids[3]) {
  if (markers.jfif) return false;
  if (markers.adobe) return markers.adobeTransform == 0;
  return ids[0] == 'R' && ids[1] == 'G' && ids[2] == 'B';
}

}  // namespace jpeg
