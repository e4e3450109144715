#pragma once
// One tile of a fisheye view: the source passed through, a panorama strip,
// a perspective (PTZ) view or the wall 180 degree view.  Commands come from
// the user-interface thread and are carried out at the next frame, on the
// play thread, when the source size is known; one lock per channel makes
// each command, each frame and each snapshot copy atomic.
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "dewarp/dewarp_engine.h"
#include "dewarp/lens_polynomial.h"

enum DewarpChannelState : int32_t {
  kChannelPassthrough = 0,
  kChannelPanorama = 1,
  kChannelPtz = 2,
  kChannelWall180 = 3,
  // A command waits for the next frame as its state plus this.
  kChannelPending = 5,
};

struct PanoramaCommand {
  uint16_t centerX = 5000;  // 1/10000 of the smaller source side
  uint16_t centerY = 5000;
  uint16_t radius = 5000;
  uint16_t ratio = 2;
  int16_t start = 0;  // degrees
  uint16_t span = 360;
  bool rotated = false;
};

struct PtzCommand {
  LensCoefficients lens = kEquidistantLens;
  bool wall = false;
  bool rotated = false;
  uint16_t width = 0;
  uint16_t height = 0;
  int16_t pan = 0;  // degrees
  int16_t tilt = 0;
  int16_t zoom = 0;
};

// Writes a snapshot's 32-bit BMP file image to path; true when saved.
using SnapshotSaver = std::function<bool(std::span<const uint8_t> bmp, const std::wstring& path)>;

class DewarpChannel {
 public:
  int SetPassthrough();
  int SetPanorama(const PanoramaCommand& command);
  int SetPtz(const PtzCommand& command);
  int SetWall180(uint16_t ratio, uint16_t cut);

  // Runs a frame through the channel: its state, or -1 when the tile could
  // not be made.  The pixels must stay valid until the next frame or
  // ForgetSource, since passthrough shows them as they are.  The frame's
  // time plays no part in the dewarping.
  friend int ProcessDewarpFrame(DewarpChannel& channel, const uint32_t* pixels, int width, int height,
                                uint32_t time);
  // Passthrough no longer shows the pixels last given (their buffer is
  // about to be freed or reallocated).
  void ForgetSource();

  // The tile; read under the lock by the callback.
  void ReadOutput(const std::function<void(const uint32_t* pixels, int width, int height)>& reader) const;
  int GetOutputWidth() const;
  int GetOutputHeight() const;
  // "pan tilt zoom" as signed decimals.
  std::string FormatPtz() const;
  // The tile as a 32-bit BMP file image handed to save; 1 when saved, -1
  // when there is no tile or it was not saved.
  int SaveSnapshot(const std::wstring& path, const SnapshotSaver& save) const;

 private:
  void ApplyPendingLocked();

  mutable std::mutex mutex_;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  int outputWidth_ = 0;
  int outputHeight_ = 0;
  int state_ = kChannelPassthrough;
  std::vector<uint32_t> output_;
  const uint32_t* source_ = nullptr;
  DewarpEngine engine_;
  PanoramaCommand panorama_;
  int centerXPixels_ = 0;
  int centerYPixels_ = 0;
  int radiusPixels_ = 0;
  PtzCommand ptz_;
  int wallSourceWidth_ = 0;
  int wallSourceHeight_ = 0;
  uint16_t wallRatio_ = 2;
  uint16_t wallCut_ = 6;
};

// The BMP file image (54-byte header, top-down 32-bit rows) of a picture.
std::vector<uint8_t> MakeTileBmp(const uint32_t* pixels, int width, int height);
