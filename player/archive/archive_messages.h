#pragma once
// Private messages the archive reader's index thread posts to the window
// set with SetNotifyWindow.
#include <cstdint>

constexpr uint32_t WM_VYX_INDEX_ERROR = 0x1211;  // wParam channel mask, lParam duration so far
constexpr uint32_t WM_VYX_INDEX_DONE = 0x1212;   // wParam channel mask, lParam duration (s)
