#pragma once
// Control ids of the main window and the about box, and the ids under which
// the artwork is stored in the program's resources.

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

// Artwork.  Skin pictures are JPEG ("JPG"), button strips and slider parts
// lossless bitmaps ("BITMAP"), the program icon an "ICON".
namespace artwork {

constexpr int kIcon = 128;

constexpr int kSkinWhole = 129;
constexpr int kSkinTopLeft = 168;
constexpr int kSkinLeft = 169;
constexpr int kSkinBottomLeft = 170;
constexpr int kSkinBottomRight = 171;
constexpr int kSkinRight = 172;
constexpr int kSkinTopRight = 173;
constexpr int kSkinUnderVideo = 174;
constexpr int kSkinTop = 175;
constexpr int kSkinBottom = 176;

constexpr int kStepBackButton = 156;
constexpr int kStepForwardButton = 157;
constexpr int kPlayButton = 158;
constexpr int kPauseButton = 159;
constexpr int kStopButton = 160;
constexpr int kOpenButton = 161;
constexpr int kSnapshotButton = 162;
constexpr int kConvertAviButton = 163;
constexpr int kFisheyeViewButton = 179;
constexpr int kWall180Button = 182;
constexpr int kSingleViewButton = 183;
constexpr int kQuadViewButton = 184;
constexpr int kDual180Button = 185;
constexpr int k360Button = 186;
constexpr int kCeilingMountButton = 188;
constexpr int kWallMountButton = 189;
constexpr int kDeskMountButton = 190;

constexpr int kSliderChannelLeft = 164;
constexpr int kSliderChannelRight = 165;
constexpr int kSliderThumb = 166;

}  // namespace artwork
