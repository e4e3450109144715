#pragma once
// Private messages the player's engine posts to the main window, with the
// archive reader's.
#include <cstdint>

#include "player/archive/archive_messages.h"

constexpr uint32_t WM_VYX_END_OF_FILE = 0x8CB9;     // the play thread reached the end of the index
constexpr uint32_t WM_VYX_FILE_START = 0x8CBA;      // a step back found no earlier key frame
constexpr uint32_t WM_VIDEO_SIZE_CHANGED = 0x8D1D;  // wParam width, lParam height
