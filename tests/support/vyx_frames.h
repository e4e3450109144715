#pragma once
// A record as the archive reader hands it to the outputs, made in code.
#include <cstdint>
#include <string>
#include <vector>

#include "player/archive/vyx_parser.h"

namespace testing_support {

// The header's magic, type, picture size, time, title and length set, the
// codec class the type's.
VyxFrame MakeVyxFrame(uint8_t type, std::vector<uint8_t> payload, int width = 0, int height = 0, uint32_t time = 0,
                      const std::string& title = "");

}  // namespace testing_support
