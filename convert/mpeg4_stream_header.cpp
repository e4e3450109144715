#include "convert/mpeg4_stream_header.h"

bool StartsWithVop(const uint8_t* payload, size_t size) {
  return size >= 4 && payload[0] == 0 && payload[1] == 0 && payload[2] == 1 && payload[3] == 0xB6;
}

std::array<uint8_t, kMpeg4StreamHeaderBytes> Mpeg4StreamHeader(uint16_t width, uint16_t height) {
  return {0x00, 0x00, 0x01, 0x00,  // video object
          0x00, 0x00, 0x01, 0x20,  // video object layer
          0x08, 0xC8, 0x88, 0xBA, 0x98,
          static_cast<uint8_t>(0x50 | (width >> 9)),
          static_cast<uint8_t>((width >> 1) & 0xFF),
          static_cast<uint8_t>(0x40 | ((height >> 7) & 0x0F)),
          static_cast<uint8_t>(((height << 1) | 1) & 0xFF),
          static_cast<uint8_t>(height >= 480 ? 0xC1 : 0x41),
          0x83, 0xFF};
}
