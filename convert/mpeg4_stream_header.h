#pragma once
// The archives' MPEG-4 key frames may come without the stream headers a
// decoder needs; such a frame (it starts at its VOP start code, 00 00 01
// B6) gets a video object and video object layer header of the recorder's
// settings in front: Advanced Simple, time increment resolution 30000, the
// record's size, interlaced from 480 lines.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kMpeg4StreamHeaderBytes = 20;

bool StartsWithVop(const uint8_t* payload, size_t size);
std::array<uint8_t, kMpeg4StreamHeaderBytes> Mpeg4StreamHeader(uint16_t width, uint16_t height);
