#include "dewarp/fisheye_view.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>

#include "dewarp/remap_builders.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr uint32_t kBorderColour = 0x00FFE080;

enum class Layout { kNone, kRaw, kSingle, kDual, kPanorama360, kQuad, kWall180 };

Layout LayoutOf(int mode) {
  switch (mode) {
    case 0: return Layout::kRaw;
    case 1: case 11: case 21: return Layout::kSingle;
    case 2: case 3: case 12: case 13: return Layout::kDual;
    case 4: case 5: case 6: case 14: case 15: case 16: return Layout::kPanorama360;
    case 7: case 8: case 9: case 10: case 17: case 18: case 19: case 20:
    case 23: case 24: case 25: case 26: return Layout::kQuad;
    case 22: return Layout::kWall180;
    // Modes past the last are shown raw, as SetViewMode sets them up.
    default: return mode > 22 ? Layout::kRaw : Layout::kNone;
  }
}

bool IsMultiTile(Layout layout) {
  return layout == Layout::kDual || layout == Layout::kPanorama360 || layout == Layout::kQuad;
}

// The layout's first mode: the selected tile is the distance from it.
int FirstModeOf(int mode) {
  if (mode >= 2 && mode <= 3) return 2;
  if (mode >= 4 && mode <= 6) return 4;
  if (mode >= 7 && mode <= 10) return 7;
  if (mode >= 12 && mode <= 13) return 12;
  if (mode >= 14 && mode <= 16) return 14;
  if (mode >= 17 && mode <= 20) return 17;
  if (mode >= 23 && mode <= 26) return 23;
  return mode;
}

bool IsCeiling(int mode) { return mode >= 11 && mode <= 20; }
bool IsWall(int mode) { return mode >= 21 && mode <= 26; }

// The perspective tiles a drag or the wheel steers.
bool IsPerspectiveTile(int mode) {
  switch (mode) {
    case 1: case 4: case 5: case 7: case 8: case 9: case 10:
    case 11: case 14: case 15: case 17: case 18: case 19: case 20:
    case 21: case 23: case 24: case 25: case 26: return true;
    default: return false;
  }
}

// The 16-bit remainder by 360 with the sign of the value.
int Wrap(int64_t v) { return static_cast<int16_t>(v) % 360; }

// Half the source height over the ratio: the panorama tiles' height.
int PanoramaRows(int sourceHeight, int ratio) { return sourceHeight / 2 / ratio; }

}  // namespace

TickSource SteadyTicks() {
  return [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  };
}

FisheyeView::FisheyeView(const DewarpSettings& settings, TickSource ticks)
    : settings_(settings),
      ticks_(std::move(ticks)),
      moveSensitivity_(std::max<int>(1, settings.MoveSensitivity)),
      wheelSensitivity_(std::max<int>(1, settings.WheelSensitivity)) {}

void FisheyeView::SetChannelPtz(int channel, int width, int height, int pan, int tilt, int zoom, bool rotated,
                                bool wall) {
  if (channel < 0 || channel > 3) return;
  PtzCommand c;
  c.lens = {settings_.a0, settings_.a1, settings_.a2, settings_.a3, settings_.a4, settings_.a5};
  c.wall = wall;
  c.rotated = rotated;
  c.width = static_cast<uint16_t>(std::clamp(width, 0, 65535));
  c.height = static_cast<uint16_t>(std::clamp(height, 0, 65535));
  c.pan = static_cast<int16_t>(pan);
  c.tilt = static_cast<int16_t>(tilt);
  c.zoom = static_cast<int16_t>(zoom);
  channels_[channel].SetPtz(c);
}

void FisheyeView::SetChannelPanorama(int channel, int ratio, int start, int span, bool rotated) {
  if (channel < 0 || channel > 3) return;
  PanoramaCommand c;
  c.centerX = settings_.centerX;
  c.centerY = settings_.centerY;
  c.radius = settings_.radius;
  c.ratio = static_cast<uint16_t>(ratio);
  c.start = static_cast<int16_t>(start);
  c.span = static_cast<uint16_t>(span);
  c.rotated = rotated;
  channels_[channel].SetPanorama(c);
}

void FisheyeView::SetViewMode(int mode) {
  if (mode == viewMode_) return;
  const DewarpSettings& S = settings_;
  const int ratio = std::max<int>(1, S.ratio);
  const int h = PanoramaRows(sourceHeight_, ratio);
  const bool turned = IsCeiling(mode);
  switch (LayoutOf(mode)) {
    case Layout::kSingle:
      if (mode == 1) SetChannelPtz(0, S.w1R, S.h1R, 90, 30, 120, false, false);
      if (mode == 11) SetChannelPtz(0, S.w1R, S.h1R, 90, 90, 120, true, false);
      if (mode == 21) SetChannelPtz(0, S.w1R, S.h1R, 0, 0, 120, false, true);
      break;
    case Layout::kDual:
      SetChannelPanorama(0, ratio, 0, 180, turned);
      SetChannelPanorama(1, ratio, 180, 180, turned);
      rotation_ = 0;
      break;
    case Layout::kPanorama360: {
      const int W = static_cast<int>(h * kPi);
      SetChannelPanorama(2, ratio, 0, 360, turned);
      SetChannelPtz(0, W / 2, h, 45, 30, 120, turned, false);
      SetChannelPtz(1, W / 2, h, 225, 30, 120, turned, false);
      rotation_ = 0;
      break;
    }
    case Layout::kQuad:
      if (IsWall(mode)) {
        static constexpr int kWallAngles[4][2] = {{30, 30}, {-30, 30}, {30, -30}, {-30, -30}};
        for (int c = 0; c < 4; ++c)
          SetChannelPtz(c, S.w4R, S.h4R, kWallAngles[c][0], kWallAngles[c][1], 120, false, true);
      } else {
        static constexpr int kPans[4] = {225, 315, 135, 45};
        for (int c = 0; c < 4; ++c) SetChannelPtz(c, S.w4R, S.h4R, kPans[c], 30, 120, turned, false);
      }
      break;
    case Layout::kWall180:
      channels_[0].SetWall180(S.ratio, S.cut);
      break;
    case Layout::kRaw:
    case Layout::kNone:
      channels_[0].SetPassthrough();
      break;
  }
  // The wheel and drags work on the tile the mode names.
  selected_ = IsMultiTile(LayoutOf(mode)) ? mode - FirstModeOf(mode) : 0;
  viewMode_ = mode;
}

// The tile fills its cell of the composite from the cell's top left corner;
// what the tile does not cover (a missing or smaller tile) is black.
void FisheyeView::CopyTile(int channel, SubViewRect cell) {
  cell.right = std::min(cell.right, compositeWidth_);
  cell.bottom = std::min(cell.bottom, compositeHeight_);
  if (cell.left >= cell.right || cell.top >= cell.bottom) return;
  const size_t cellWidth = static_cast<size_t>(cell.right - cell.left);
  channels_[channel].ReadOutput([&](const uint32_t* pixels, int width, int height) {
    const size_t columns = pixels ? std::min(static_cast<size_t>(width), cellWidth) : 0;
    for (int y = cell.top; y < cell.bottom; ++y) {
      uint32_t* row = owned_.data() + static_cast<size_t>(y) * compositeWidth_ + cell.left;
      const int r = y - cell.top;
      const size_t copied = r < height ? columns : 0;
      if (copied) std::memcpy(row, pixels + static_cast<size_t>(r) * width, copied * 4);
      std::fill(row + copied, row + cellWidth, 0u);
    }
  });
}

int FisheyeView::ComposeFisheyeView(const uint32_t* pixels, int width, int height, uint32_t time) {
  sourceWidth_ = width;
  sourceHeight_ = height;
  const Layout layout = LayoutOf(viewMode_);
  if (layout == Layout::kNone) {
    composite_ = nullptr;
    compositeWidth_ = compositeHeight_ = 0;
    return 0;
  }
  int tiles = 1;
  if (layout == Layout::kDual) tiles = 2;
  if (layout == Layout::kPanorama360) tiles = 3;
  if (layout == Layout::kQuad) tiles = 4;
  for (int c = 0; c < tiles; ++c) ProcessDewarpFrame(channels_[c], pixels, width, height, time);

  if (!IsMultiTile(layout)) {
    channels_[0].ReadOutput([&](const uint32_t* tile, int w, int h) {
      composite_ = tile;
      compositeWidth_ = tile ? w : 0;
      compositeHeight_ = tile ? h : 0;
    });
    return 0;
  }
  // Sized from the tiles made for this frame; a missing tile stays black.
  const int main = layout == Layout::kPanorama360 ? 2 : 0;
  const int w = channels_[main].GetOutputWidth();
  const int h = channels_[main].GetOutputHeight();
  compositeWidth_ = layout == Layout::kQuad ? 2 * w : w;
  compositeHeight_ = 2 * h;
  try {
    // Every pixel is written below: the cells cover the composite.
    owned_.resize(static_cast<size_t>(compositeWidth_) * static_cast<size_t>(compositeHeight_));
  } catch (const std::bad_alloc&) {
    owned_.clear();
    compositeWidth_ = compositeHeight_ = 0;
  }
  composite_ = owned_.empty() ? nullptr : owned_.data();
  if (!composite_) {
    compositeWidth_ = compositeHeight_ = 0;
    return 0;
  }
  const int W = compositeWidth_, H = compositeHeight_;
  switch (layout) {
    case Layout::kDual:
      CopyTile(0, {0, 0, W, h});
      CopyTile(1, {0, h, W, H});
      break;
    case Layout::kPanorama360: {
      const int w0 = std::min(channels_[0].GetOutputWidth(), W);
      CopyTile(0, {0, 0, w0, h});
      CopyTile(1, {w0, 0, W, h});
      CopyTile(2, {0, h, W, H});
      break;
    }
    default:
      CopyTile(0, {0, 0, w, H / 2});
      CopyTile(1, {w, 0, W, H / 2});
      CopyTile(2, {0, H / 2, w, H});
      CopyTile(3, {w, H / 2, W, H});
      break;
  }
  return 0;
}

void FisheyeView::ForgetSource() {
  for (DewarpChannel& channel : channels_) channel.ForgetSource();
  if (!IsMultiTile(LayoutOf(viewMode_))) {
    composite_ = nullptr;
    compositeWidth_ = compositeHeight_ = 0;
  }
}

int FisheyeView::ViewModeWidth(int mode) const {
  const int ratio = std::max<int>(1, settings_.ratio);
  const int h = PanoramaRows(sourceWidth_, ratio);
  switch (LayoutOf(mode)) {
    case Layout::kSingle: return settings_.w1R;
    case Layout::kDual: return static_cast<int>(h * kPi * 180 / 360);
    case Layout::kPanorama360: return static_cast<int>(h * kPi);
    case Layout::kQuad: return 2 * settings_.w4R;
    case Layout::kWall180: return Wall180TableSize(sourceWidth_, sourceHeight_, ratio, settings_.cut).width;
    default: return sourceWidth_;
  }
}

int FisheyeView::ViewModeHeight(int mode) const {
  const int ratio = std::max<int>(1, settings_.ratio);
  switch (LayoutOf(mode)) {
    case Layout::kSingle: return settings_.h1R;
    case Layout::kDual:
    case Layout::kPanorama360: return PanoramaRows(sourceHeight_, ratio) * 2;
    case Layout::kQuad: return 2 * settings_.h4R;
    case Layout::kWall180: return Wall180TableSize(sourceWidth_, sourceHeight_, ratio, settings_.cut).height;
    default: return sourceHeight_;
  }
}

int FisheyeView::HitTestSubView(int x, int y) const {
  const int W = compositeWidth_, H = compositeHeight_;
  if (x < 0 || y < 0 || x >= W || y >= H || viewMode_ < 0 || viewMode_ > 26) return -1;
  switch (LayoutOf(viewMode_)) {
    case Layout::kNone: return -1;
    case Layout::kDual: return y < H / 2 ? 0 : 1;
    case Layout::kPanorama360:
      if (y >= H / 2) return 2;
      return x >= W / 2 ? 1 : 0;
    case Layout::kQuad: return (y < H / 2 ? 0 : 2) + (x < W / 2 ? 0 : 1);
    default: return 0;
  }
}

void FisheyeView::SelectSubView(int index) {
  if (index < 0 || index > 3) return;
  selected_ = index;
  if (IsMultiTile(LayoutOf(viewMode_))) viewMode_ = FirstModeOf(viewMode_) + index;
}

SubViewRect FisheyeView::GetSubViewRect() const {
  const int W = compositeWidth_, H = compositeHeight_;
  switch (viewMode_) {
    case 2: case 12: return {0, 0, W, H / 2};
    case 3: case 6: case 13: case 16: return {0, H / 2, W, H};
    case 4: case 7: case 14: case 17: case 23: return {0, 0, W / 2, H / 2};
    case 5: case 8: case 15: case 18: case 24: return {W / 2, 0, W, H / 2};
    case 9: case 19: case 25: return {0, H / 2, W / 2, H};
    case 10: case 20: case 26: return {W / 2, H / 2, W, H};
    default: return {0, 0, W, H};
  }
}

void FisheyeView::DrawSelectionBorder() {
  if (!IsMultiTile(LayoutOf(viewMode_)) || !composite_ || composite_ != owned_.data()) return;
  const int W = compositeWidth_, H = compositeHeight_;
  const int t = std::max(2, static_cast<int>(W * 0.005));
  SubViewRect r = GetSubViewRect();
  // Clipped to the composite, however small the picture.
  r.left = std::clamp(r.left, 0, W);
  r.right = std::clamp(r.right, 0, W);
  r.top = std::clamp(r.top, 0, H);
  r.bottom = std::clamp(r.bottom, 0, H);
  const auto fill = [&](int left, int top, int right, int bottom) {
    left = std::max(left, r.left);
    top = std::max(top, r.top);
    right = std::min(right, r.right);
    bottom = std::min(bottom, r.bottom);
    for (int y = top; y < bottom; ++y)
      std::fill_n(owned_.data() + static_cast<size_t>(y) * W + left, std::max(0, right - left), kBorderColour);
  };
  fill(r.left, r.top, r.left + t, r.bottom);
  fill(r.right - t, r.top, r.right, r.bottom);
  fill(r.left, r.top, r.right, r.top + t);
  fill(r.left, r.bottom - t, r.right, r.bottom);
}

int FisheyeView::SnapshotChannel(int channel, const std::wstring& path, const SnapshotSaver& save) const {
  if (channel < 0 || channel > 3) return -1;
  return channels_[channel].SaveSnapshot(path, save);
}

std::array<int16_t, 3> FisheyeView::GetChannelPtz(int channel) const {
  int pan = 0, tilt = 0, zoom = 0;
  std::sscanf(channels_[channel].FormatPtz().c_str(), "%d %d %d", &pan, &tilt, &zoom);
  return {static_cast<int16_t>(pan), static_cast<int16_t>(tilt), static_cast<int16_t>(zoom)};
}

int FisheyeView::HitTestClient(int x, int y, int clientWidth, int clientHeight) const {
  const int64_t cx = static_cast<int64_t>(compositeWidth_) * x / clientWidth;
  const int64_t cy = static_cast<int64_t>(compositeHeight_) * y / clientHeight;
  if (cx < 0 || cy < 0 || cx > compositeWidth_ || cy > compositeHeight_) return -1;
  return HitTestSubView(static_cast<int>(cx), static_cast<int>(cy));
}

bool FisheyeView::OnDewarpMouse(int message, int delta, int x, int y, int clientWidth, int clientHeight) {
  if (clientWidth <= 0 || clientHeight <= 0) return false;
  const int s = HitTestClient(x, y, clientWidth, clientHeight);
  if (s < 0) return false;
  switch (message) {
    case kDewarpMouseMove:
      return OnDewarpDrag(x, y, clientWidth, clientHeight);
    case kDewarpButtonDown: {
      const int mode = viewMode_, selected = selected_;
      SelectSubView(s);
      dragging_ = true;
      return mode != viewMode_ || selected != selected_;
    }
    case kDewarpButtonUp:
      dragging_ = false;
      lastDragX_ = lastDragY_ = lastDragTick_ = kNone;
      return false;
    case kDewarpWheel:
      return OnDewarpWheel(delta);
    default:
      return false;
  }
}

bool FisheyeView::OnDewarpDrag(int x, int y, int clientWidth, int clientHeight) {
  if (HitTestClient(x, y, clientWidth, clientHeight) != selected_) dragging_ = false;
  if (!dragging_) {
    lastDragX_ = lastDragY_ = lastDragTick_ = kNone;
    return false;
  }
  if (lastDragX_ == kNone || lastDragY_ == kNone || lastDragTick_ == kNone) {
    lastDragX_ = static_cast<uint32_t>(x);
    lastDragY_ = static_cast<uint32_t>(y);
    lastDragTick_ = ticks_();
    return false;
  }
  const uint32_t now = ticks_();
  if (static_cast<int32_t>(now - lastDragTick_) < 100) return false;
  const int64_t dx = (int64_t{x} - static_cast<int32_t>(lastDragX_)) / moveSensitivity_;
  const int64_t dy = (int64_t{y} - static_cast<int32_t>(lastDragY_)) / moveSensitivity_;
  const int mode = viewMode_;
  const SubViewRect rect = GetSubViewRect();
  const bool single = mode == 1 || mode == 11 || mode == 21;
  const int width = single ? settings_.w1Rmov : rect.right - rect.left;
  const int height = single ? settings_.h1Rmov : rect.bottom - rect.top;
  const auto [pan, tilt, zoom] = GetChannelPtz(selected_);
  const auto rotate = [&](int64_t by) {
    rotation_ = static_cast<int>((rotation_ + by % 360) % 360);
    if (rotation_ < 0) rotation_ += 360;
  };
  bool steered = false;
  if (IsPerspectiveTile(mode)) {
    steered = IsWall(mode) || IsCeiling(mode) ? dx != 0 || dy != 0 : dx != 0;
    if (IsWall(mode)) {
      if (dx != 0 || dy != 0)
        SetChannelPtz(selected_, width, height, static_cast<int>(std::clamp<int64_t>(pan + dx, -75, 75)),
                      static_cast<int>(std::clamp<int64_t>(tilt + dy, -60, 60)), zoom, false, true);
    } else if (IsCeiling(mode)) {
      if (dx != 0 || dy != 0)
        SetChannelPtz(selected_, width, height, Wrap(int64_t{pan} - dx),
                      static_cast<int>(std::clamp<int64_t>(int64_t{tilt} - dy, 10, 90)), zoom, true, false);
    } else if (dx != 0) {
      SetChannelPtz(selected_, width, height, Wrap(int64_t{pan} + dx), tilt, zoom, false, false);
    }
  } else if (LayoutOf(mode) == Layout::kDual && dx != 0) {
    steered = true;
    rotate(IsCeiling(mode) ? -dx : dx);
    SetChannelPanorama(0, settings_.ratio, rotation_, 180, IsCeiling(mode));
    SetChannelPanorama(1, settings_.ratio, rotation_ + 180, 180, IsCeiling(mode));
  } else if ((mode == 6 || mode == 16) && dx != 0) {
    steered = true;
    rotate(mode == 16 ? -dx : dx);
    SetChannelPanorama(selected_, settings_.ratio, rotation_, 360, mode == 16);
  }
  lastDragX_ = static_cast<uint32_t>(x);
  lastDragY_ = static_cast<uint32_t>(y);
  lastDragTick_ = now;
  return steered;
}

bool FisheyeView::OnDewarpWheel(int delta) {
  const uint32_t now = ticks_();
  if (lastWheelTick_ == kNone) {
    lastWheelTick_ = now;
    return false;
  }
  if (static_cast<int32_t>(now - lastWheelTick_) < 100) return false;
  const int mode = viewMode_;
  const bool steered = IsPerspectiveTile(mode);
  if (steered) {
    const auto [pan, tilt, zoom] = GetChannelPtz(selected_);
    const SubViewRect rect = GetSubViewRect();
    const int newZoom = std::clamp(zoom - delta / wheelSensitivity_, 40, 120);
    SetChannelPtz(selected_, rect.right - rect.left, rect.bottom - rect.top, pan, tilt, newZoom, IsCeiling(mode),
                  IsWall(mode));
  }
  lastWheelTick_ = now;
  return steered;
}

int FisheyeView::RestoreSingleViewSize() {
  const int mode = viewMode_;
  if (mode != 1 && mode != 11 && mode != 21) return 0;
  const auto [pan, tilt, zoom] = GetChannelPtz(selected_);
  SetChannelPtz(selected_, settings_.w1R, settings_.h1R, pan, tilt, zoom, mode == 11, mode == 21);
  return 1;
}
