#pragma once
// The MPEG-4 Visual (ISO/IEC 14496-2) header fields that splitting an
// elementary stream into pictures needs.  Each parser gets the bytes after
// the 4-byte start code.
#include <cstddef>
#include <cstdint>
#include <optional>

struct Mpeg4VideoObjectLayer {
  bool rectangular = true;
  uint16_t width = 0;  // 0 unless rectangular
  uint16_t height = 0;
};

// visual_object_verid of a visual object header (00 00 01 B5); 1 when the
// header does not give one.
uint32_t ParseMpeg4VisualObjectVerid(const uint8_t* data, size_t size);

// A video object layer header (00 00 01 20..2F).  nullopt when it is
// truncated, a marker bit is not set, or a size is zero.
std::optional<Mpeg4VideoObjectLayer> ParseMpeg4VideoObjectLayer(const uint8_t* data, size_t size,
                                                                uint32_t visualObjectVerid);
