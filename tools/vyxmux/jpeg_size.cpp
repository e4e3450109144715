#include "tools/vyxmux/jpeg_size.h"

#include <cstddef>

namespace {

bool IsStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length field.
bool IsStandalone(uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Entropy-coded data holds no FF D9: a data FF is followed by 00, and the
// restart markers are D0..D7.
bool HasEndOfImageAfter(const std::vector<uint8_t>& file, size_t from) {
  for (size_t i = from; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xD9) return true;
  }
  return false;
}

}  // namespace

std::optional<PictureSize> JpegSize(const std::vector<uint8_t>& file, std::string* error) {
  auto fail = [&](const std::string& what) -> std::optional<PictureSize> {
    if (error) *error = what;
    return std::nullopt;
  };
  if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) return fail("not a JPEG file (no SOI marker)");

  std::optional<PictureSize> size;
  size_t pos = 2;
  while (true) {
    if (pos >= file.size() || file[pos] != 0xFF) return fail("truncated or damaged marker segments");
    while (pos < file.size() && file[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= file.size()) return fail("truncated marker segments");
    const uint8_t marker = file[pos++];
    if (IsStandalone(marker)) continue;
    if (marker == 0xD9) return fail("no scan before the EOI marker");
    if (pos + 2 > file.size()) return fail("truncated marker segment");
    const size_t length = ReadU16(&file[pos]);
    if (length < 2 || pos + length > file.size()) return fail("truncated marker segment");
    if (IsStartOfFrame(marker)) {
      if (length < 8) return fail("frame header too short");
      // precision u8, height u16, width u16
      size = PictureSize{ReadU16(&file[pos + 5]), ReadU16(&file[pos + 3])};
      if (size->width == 0 || size->height == 0) return fail("frame header gives no picture size");
    }
    if (marker == 0xDA) {
      if (!size) return fail("scan before any frame header (no SOF marker)");
      if (!HasEndOfImageAfter(file, pos + length)) return fail("truncated: no EOI marker after the scan");
      if (error) error->clear();
      return size;
    }
    pos += length;
  }
}
