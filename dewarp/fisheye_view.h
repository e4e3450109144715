#pragma once
// The fisheye views of a square source picture: the raw picture, one
// perspective view, two 180-degree panoramas, a 360-degree panorama under
// two perspective views, a quad of perspective views, or the wall 180
// degree view, for desk, ceiling and wall mounts.  Four channels make the
// tiles, composed into one picture with the selected tile outlined; mouse
// clicks select tiles, drags pan and tilt, the wheel zooms.
//
// The view has no lock of its own: its owner calls every operation under
// one lock (the play thread composes, the user-interface thread changes
// views and passes the mouse on).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dewarp/dewarp_channel.h"
#include "dewarp/dewarp_settings.h"

// Milliseconds on a clock that wraps at 32 bits.
using TickSource = std::function<uint32_t()>;
TickSource SteadyTicks();

// Mouse messages handed to OnDewarpMouse.
inline constexpr int kDewarpMouseMove = 512;
inline constexpr int kDewarpButtonDown = 513;
inline constexpr int kDewarpButtonUp = 514;
inline constexpr int kDewarpWheel = 522;

struct SubViewRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

class FisheyeView {
 public:
  explicit FisheyeView(const DewarpSettings& settings, TickSource ticks = SteadyTicks());

  // -1 none, 0 the raw picture, 1-10 desk, 11-20 ceiling, 21-26 wall; in a
  // layout of several tiles the mode also names the selected tile.
  void SetViewMode(int mode);
  int GetViewMode() const { return viewMode_; }

  // Makes the composite of one source frame (32-bit pixels, which must stay
  // valid until the next compose or ForgetSource).  Returns 0.
  int ComposeFisheyeView(const uint32_t* pixels, int width, int height, uint32_t time);
  // The source frame is about to be freed: nothing may show it any more.
  void ForgetSource();
  int GetViewOutputWidth() const { return compositeWidth_; }
  int GetViewOutputHeight() const { return compositeHeight_; }
  // Null when there is no composite.
  const uint32_t* GetViewOutputBuffer() const { return composite_; }
  void DrawSelectionBorder();

  // The composite size of a mode, for the last source size.
  int ViewModeWidth(int mode) const;
  int ViewModeHeight(int mode) const;

  // Saves channel 0-3's tile through save: 1 when saved, else -1.
  int SnapshotChannel(int channel, const std::wstring& path, const SnapshotSaver& save) const;

  // message: kDewarpMouseMove, kDewarpButtonDown, kDewarpButtonUp or
  // kDewarpWheel; x, y in a client area of the given size showing the
  // composite.  True when the picture changes (another tile, or a tile
  // steered).
  bool OnDewarpMouse(int message, int delta, int x, int y, int clientWidth, int clientHeight);
  // After a drag of a single view at its moving size: back to full size.
  // 1 when it acted, else 0.
  int RestoreSingleViewSize();

  int HitTestSubView(int x, int y) const;
  void SelectSubView(int index);
  SubViewRect GetSubViewRect() const;
  int SelectedSubView() const { return selected_; }
  // pan, tilt, zoom of a channel.
  std::array<int16_t, 3> GetChannelPtz(int channel) const;

 private:
  void SetChannelPtz(int channel, int width, int height, int pan, int tilt, int zoom, bool rotated, bool wall);
  void SetChannelPanorama(int channel, int ratio, int start, int span, bool rotated);
  // True when a tile was steered.
  bool OnDewarpDrag(int x, int y, int clientWidth, int clientHeight);
  bool OnDewarpWheel(int delta);
  int HitTestClient(int x, int y, int clientWidth, int clientHeight) const;
  void CopyTile(int channel, SubViewRect cell);

  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  const DewarpSettings& settings_;
  TickSource ticks_;
  std::array<DewarpChannel, 4> channels_;
  int viewMode_ = -1;
  std::vector<uint32_t> owned_;  // the composite of the layouts of several tiles
  const uint32_t* composite_ = nullptr;
  int compositeWidth_ = 0;
  int compositeHeight_ = 0;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  bool dragging_ = false;
  int selected_ = 0;
  int moveSensitivity_;
  int wheelSensitivity_;
  uint32_t lastDragX_ = kNone;
  uint32_t lastDragY_ = kNone;
  uint32_t lastDragTick_ = kNone;
  uint32_t lastWheelTick_ = kNone;
  int rotation_ = 0;
};
