#pragma once
// Private messages between the main window's controls and the window.
// Each is a platform::PrivateMessageEvent of the message's own number.
#include <cstdint>

// Slider -> window.  wParam: the new position.  Tracking is posted for each
// position a drag passes; the seek is sent (delivered before the mouse
// handler returns) once per click or per drag.
constexpr uint32_t WM_SLIDER_TRACKING = 0xFCD;
constexpr uint32_t WM_SLIDER_SEEK = 0xFCE;

// Skinned radio button -> the other buttons of its group: clear your check.
constexpr uint32_t kRadioUncheckMessage = 0x500;
