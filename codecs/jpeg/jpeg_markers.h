#pragma once
// The marker codes CJpegDecoder acts on (T.81 Table B.1).  Private to the
// JPEG library.

namespace jpeg::marker {

enum Marker : int {
  kSof0 = 0xC0, kSof1 = 0xC1, kSof2 = 0xC2, kDht = 0xC4, kJpg = 0xC8, kSof9 = 0xC9, kDac = 0xCC,
  kRst0 = 0xD0, kRst7 = 0xD7, kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDri = 0xDD, kTem = 0x01,
};

}  // namespace jpeg::marker
