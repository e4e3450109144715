#include "dewarp/dewarp_channel.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "dewarp/remap_builders.h"

int DewarpChannel::SetPassthrough() {
  std::lock_guard lock(mutex_);
  state_ = kChannelPassthrough + kChannelPending;
  return state_;
}

int DewarpChannel::SetPanorama(const PanoramaCommand& command) {
  std::lock_guard lock(mutex_);
  panorama_ = command;
  state_ = kChannelPanorama + kChannelPending;
  return state_;
}

int DewarpChannel::SetPtz(const PtzCommand& command) {
  std::lock_guard lock(mutex_);
  ptz_ = command;
  state_ = kChannelPtz + kChannelPending;
  return state_;
}

int DewarpChannel::SetWall180(uint16_t ratio, uint16_t cut) {
  std::lock_guard lock(mutex_);
  wallRatio_ = ratio;
  wallCut_ = cut;
  state_ = kChannelWall180 + kChannelPending;
  return state_;
}

void DewarpChannel::ApplyPendingLocked() {
  const int target = state_ - kChannelPending;
  std::vector<uint32_t>().swap(output_);
  state_ = kChannelPassthrough;
  TileSize size;
  switch (target) {
    case kChannelPanorama: {
      const int m = std::min(sourceWidth_, sourceHeight_);
      centerXPixels_ = panorama_.centerX * m / 10000;
      centerYPixels_ = panorama_.centerY * m / 10000;
      radiusPixels_ = panorama_.radius * m / 10000;
      size = PanoramaTableSize(radiusPixels_, panorama_.ratio, panorama_.span);
      break;
    }
    case kChannelPtz:
      engine_.SetLensCoefficients(ptz_.lens[0], ptz_.lens[1], ptz_.lens[2], ptz_.lens[3], ptz_.lens[4],
                                  ptz_.lens[5]);
      engine_.SetEngineFlags(ptz_.wall);
      size = {ptz_.width, ptz_.height};
      break;
    case kChannelWall180:
      wallSourceWidth_ = sourceWidth_;
      wallSourceHeight_ = sourceHeight_;
      size = Wall180TableSize(sourceWidth_, sourceHeight_, wallRatio_, wallCut_);
      break;
    default:
      return;
  }
  outputWidth_ = size.width;
  outputHeight_ = size.height;
  try {
    output_.assign(static_cast<size_t>(size.width) * static_cast<size_t>(size.height), 0);
  } catch (const std::bad_alloc&) {
    output_.clear();
  }
  state_ = target;
}

int ProcessDewarpFrame(DewarpChannel& c, const uint32_t* pixels, int width, int height, uint32_t) {
  std::lock_guard lock(c.mutex_);
  if (!pixels || width <= 0 || height <= 0) {
    c.source_ = nullptr;
    return -1;
  }
  if ((width != c.sourceWidth_ || height != c.sourceHeight_) && c.state_ < kChannelPending) {
    c.state_ += kChannelPending;
  }
  if (c.state_ >= kChannelPending) {
    c.sourceWidth_ = width;
    c.sourceHeight_ = height;
    c.ApplyPendingLocked();
  }
  if (c.state_ == kChannelPassthrough) {
    c.source_ = pixels;
    c.outputWidth_ = width;
    c.outputHeight_ = height;
    return c.state_;
  }
  c.source_ = nullptr;
  if (c.output_.empty()) return -1;
  uint32_t* out = c.output_.data();
  const size_t room = c.output_.size();
  switch (c.state_) {
    case kChannelPanorama:
      c.engine_.RenderPanorama(pixels, out, room, width, height, c.panorama_.ratio, c.centerXPixels_,
                               c.centerYPixels_, c.radiusPixels_, c.panorama_.start, c.panorama_.span,
                               c.panorama_.rotated);
      break;
    case kChannelPtz:
      c.engine_.RenderPtz(pixels, out, room, width, height, c.ptz_.width, c.ptz_.height, c.ptz_.pan,
                          c.ptz_.tilt, c.ptz_.zoom, c.ptz_.rotated);
      break;
    case kChannelWall180:
      c.engine_.RenderWall180(pixels, out, room, c.wallSourceWidth_, c.wallSourceHeight_, c.wallRatio_,
                              c.wallCut_);
      break;
  }
  return c.state_;
}

void DewarpChannel::ForgetSource() {
  std::lock_guard lock(mutex_);
  source_ = nullptr;
}

void DewarpChannel::ReadOutput(
    const std::function<void(const uint32_t* pixels, int width, int height)>& reader) const {
  std::lock_guard lock(mutex_);
  const uint32_t* pixels = state_ == kChannelPassthrough ? source_ : output_.data();
  if (!pixels || (state_ != kChannelPassthrough && output_.empty())) {
    reader(nullptr, 0, 0);
    return;
  }
  reader(pixels, outputWidth_, outputHeight_);
}

int DewarpChannel::GetOutputWidth() const {
  std::lock_guard lock(mutex_);
  return outputWidth_;
}

int DewarpChannel::GetOutputHeight() const {
  std::lock_guard lock(mutex_);
  return outputHeight_;
}

std::string DewarpChannel::FormatPtz() const {
  std::lock_guard lock(mutex_);
  return std::to_string(ptz_.pan) + ' ' + std::to_string(ptz_.tilt) + ' ' + std::to_string(ptz_.zoom);
}

std::vector<uint8_t> MakeTileBmp(const uint32_t* pixels, int width, int height) {
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  std::vector<uint8_t> image(54 + bytes, 0);
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  image[0] = 'B';
  image[1] = 'M';
  put32(2, static_cast<uint32_t>(image.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(-height));
  image[26] = 1;   // planes
  image[28] = 32;  // bits per pixel
  if (bytes) std::memcpy(image.data() + 54, pixels, bytes);
  return image;
}

int DewarpChannel::SaveSnapshot(const std::wstring& path, const SnapshotSaver& save) const {
  std::vector<uint8_t> image;
  try {
    ReadOutput([&](const uint32_t* pixels, int width, int height) {
      if (pixels && width > 0 && height > 0) image = MakeTileBmp(pixels, width, height);
    });
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (image.empty()) return -1;
  return save(image, path) ? 1 : -1;
}
