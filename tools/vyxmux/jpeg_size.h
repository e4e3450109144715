#pragma once
// The picture size of a JPEG file, from its start-of-frame marker.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/vyxmux/picture_size.h"

// nullopt with `error` set unless the file starts with SOI, has a frame
// header with a non-zero size before its first scan, and ends its scan
// data with EOI (a cut-off file has none).
std::optional<PictureSize> JpegSize(const std::vector<uint8_t>& file, std::string* error = nullptr);
