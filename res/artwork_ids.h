#pragma once
// The ids under which the artwork is stored in the program's resources,
// shared by the program and tools/artwork, which draws it.  Skin pictures
// are JPEG ("JPG"), button strips and slider parts lossless bitmaps
// ("BITMAP"), the program icon an "ICON".
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
