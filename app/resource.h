#pragma once
// Control ids of the main window and the about box, and the ids under which
// the artwork is stored in the program's resources (res/artwork_ids.h).

#include "res/artwork_ids.h"

// The about box's command in the window menu.
constexpr int IDM_ABOUTBOX = 16;

// Controls of the main window.
constexpr int IDC_VIDEO_CONTAINER = 1004;
constexpr int IDC_BTN_STEP_BACK = 1028;
constexpr int IDC_BTN_STOP = 1029;
constexpr int IDC_BTN_PLAY = 1030;
constexpr int IDC_BTN_STEP_FORWARD = 1031;
constexpr int IDC_BTN_PAUSE = 1032;
constexpr int IDC_BTN_OPEN = 1033;
constexpr int IDC_BTN_SNAPSHOT = 1034;
constexpr int IDC_STATIC_TIME = 1035;
constexpr int IDC_STATIC_SPARE = 1036;  // hidden, never used
constexpr int IDC_BTN_CONVERT_AVI = 1037;
constexpr int IDC_SLIDER_TIME = 1038;
constexpr int IDC_BTN_FISHEYE_VIEW = 1046;
constexpr int IDC_BTN_SINGLE_VIEW = 1047;
constexpr int IDC_BTN_QUAD_VIEW = 1048;
constexpr int IDC_BTN_DUAL_180 = 1049;
constexpr int IDC_BTN_360 = 1050;
constexpr int IDC_BTN_WALL_180 = 1051;
constexpr int IDC_BTN_CEILING_MOUNT = 1052;
constexpr int IDC_BTN_DESK_MOUNT = 1053;
constexpr int IDC_BTN_WALL_MOUNT = 1054;

// The about box's OK button.
constexpr int IDC_ABOUT_OK = 1;

// Commands of the video area's context menu.
constexpr int ID_MENU_SCALE = 5025;
constexpr int ID_MENU_ZOOM_1_4 = 5026;
constexpr int ID_MENU_ZOOM_1_2 = 5027;
constexpr int ID_MENU_ZOOM_1_1 = 5028;
constexpr int ID_MENU_ZOOM_2_1 = 5029;
constexpr int ID_MENU_MAXIMIZE = 5031;
constexpr int ID_MENU_INFO_NONE = 5032;
constexpr int ID_MENU_INFO_LEFT_TOP = 5033;
constexpr int ID_MENU_INFO_RIGHT_TOP = 5034;
constexpr int ID_MENU_INFO_LEFT_BOTTOM = 5035;
constexpr int ID_MENU_INFO_RIGHT_BOTTOM = 5036;
