#include "player/video_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <new>

#include "platform/trace.h"
#include "platform/wide_text.h"
#include "player/decoder_opening.h"
#include "player/h264_dec.h"
#include "player/snapshot_bmp.h"
#include "player/snapshot_writer.h"

namespace {

// Every payload is followed by this many zero bytes: a terminator for the
// decoders that scan for start codes, and the room FFmpeg's readers may
// look into past the end, so that it reads the payload where it lies.
constexpr size_t kInputPadding = 64;
static_assert(kInputPadding >= static_cast<size_t>(kH264DecInputPadding));
constexpr size_t kInitialSourceSize = 393216;

template <size_t N>
void CopyText(wchar_t (&to)[N], const wchar_t* from) {
  std::wcsncpy(to, from, N - 1);
  to[N - 1] = L'\0';
}

// The header's 8-bit title as wide text, cut where the title field ends.
template <size_t N>
void TitleText(wchar_t (&to)[N], const VYX_FRAME_HEADER& header) {
  const std::string title = TitleOf(header);
  size_t i = 0;
  for (; i < title.size() && i + 1 < N; ++i) to[i] = static_cast<unsigned char>(title[i]);
  to[i] = L'\0';
}

// "%Y/%m/%d %H:%M:%S" in local time; empty when the time cannot be converted.
template <size_t N>
void TimeText(wchar_t (&to)[N], uint32_t seconds) {
  to[0] = L'\0';
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return;
  char text[128];
  const size_t n = std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  size_t i = 0;
  for (; i < n && i + 1 < N; ++i) to[i] = static_cast<unsigned char>(text[i]);
  to[i] = L'\0';
}

}  // namespace

VideoOutput::VideoOutput(platform::VideoWindow& window, const VideoDecodeOptions& options)
    : window_(window), ownH264_(options.ownH264) {
  decoder_.SetDecodeOptions(options);
  decoder_.SetSourcePadding(kInputPadding);
  ResetStats();
}

VideoOutput::~VideoOutput() {
  std::lock_guard lock(mutex_);
  decoder_.Close();
  render_.Release();
}

void VideoOutput::SetOutputFormat(int bitsPerPixel, int overlay) {
  std::lock_guard lock(mutex_);
  bitsPerPixel_ = bitsPerPixel;
  overlay_ = overlay;
  decoder_.SetOutputFormat(bitsPerPixel, overlay);
  render_.SetOutputFormat(bitsPerPixel, overlay);
  if (source_.empty()) source_.assign(kInitialSourceSize, 0);
}

bool VideoOutput::OpenDecoderLocked(const LOCAL_FRAME_INDEX& record) {
  const VYX_FRAME_HEADER& h = record.header;
  width_ = h.width;
  height_ = h.height;
  codecClass_ = record.codecClass;
  decoder_.Close();
  decoderOpen_ = false;
  keySeen_ = false;

  const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  const size_t destinationSize = overlay_ ? pixels * 2 : pixels * static_cast<size_t>(bitsPerPixel_ / 8);
  try {
    destination_.assign(destinationSize, 0);
    if (source_.empty()) source_.assign(kInitialSourceSize, 0);
  } catch (const std::bad_alloc&) {
    destination_.clear();
    platform::Trace("Video buffers of %dx%d cannot be had\n", width_, height_);
    return false;
  }

  const std::optional<int32_t> kind =
      DecoderKindOfClass(ownH264_ && codecClass_ == CODEC_CLASS_H264 ? CODEC_CLASS_QX264 : codecClass_);
  if (!kind) return false;
  const int32_t opened = decoder_.Open(source_.data(), destination_.data(), width_, height_, *kind,
                                       OutputFormatForDisplay(bitsPerPixel_, overlay_));
  if (opened != 1) {
    platform::Trace("Decoder kind %d cannot be opened for %dx%d: %d\n", *kind, width_, height_, opened);
    return false;
  }
  decoderOpen_ = true;

  // Square pictures come from fisheye cameras; without a view they are
  // shown as they are (view mode 0).
  if (width_ == height_) viewMode_ = 0;
  render_.Init(&window_, width_, height_);
  return true;
}

bool VideoOutput::FillSourceLocked(const std::vector<uint8_t>& payload) {
  const size_t length = payload.size();
  if (source_.size() < length + kInputPadding) {
    try {
      source_.assign(length + kInputPadding, 0);
    } catch (const std::bad_alloc&) {
      platform::Trace("Source buffer of %zu bytes cannot be had\n", length + kInputPadding);
      return false;
    }
    decoder_.SetSource(source_.data());
  }
  std::memcpy(source_.data(), payload.data(), length);
  std::memset(source_.data() + length, 0, kInputPadding);
  return true;
}

void VideoOutput::ShowVideoFrame(const VyxFrame& frame) {
  const VYX_FRAME_HEADER& h = frame.index.header;
  if (!IsVideoFrameType(h.type)) return;
  // An empty record holds nothing to decode.
  if (frame.payload.empty()) return;
  if (h.width == 0 || h.height == 0 || h.width > kMaxPictureSide || h.height > kMaxPictureSide) {
    platform::Trace("Picture size %ux%u dropped\n", h.width, h.height);
    return;
  }
  std::lock_guard lock(mutex_);

  if (frame.index.codecClass != codecClass_ || h.width != width_ || h.height != height_) {
    OpenDecoderLocked(frame.index);
  }
  if (!decoderOpen_) return;

  if (!keySeen_) {
    if (!IsKeyFrameType(h.type)) return;
    keySeen_ = true;
  }

  if (!FillSourceLocked(frame.payload)) return;
  lastHeader_ = h;
  const int32_t result = decoder_.Decode(static_cast<int32_t>(frame.payload.size()));
  if (result != 0) {
    platform::Trace("Decode Error %d: %02x %02x %02x %02x %02x i = %d f = %d \n", result, source_[0],
                    source_[1], source_[2], source_[3], source_[4], h.byte41, h.frameFlag);
    return;
  }
  wchar_t timeText[32];
  wchar_t titleText[20];
  TimeText(timeText, h.time);
  TitleText(titleText, h);
  CopyText(titleText_, titleText);
  CopyText(timeText_, timeText);
  CountFps(h.time);
  DrawLocked(h);
}

void VideoOutput::DrawLocked(const VYX_FRAME_HEADER& header) {
  render_.Draw(width_, height_, destination_.data(), timeText_, titleText_, fpsText_);
  drawnFrame_.store(true, std::memory_order_release);
  if (drawObserver_) drawObserver_({header, width_, height_, destination_});
}

void VideoOutput::DrainVideo() {
  std::lock_guard lock(mutex_);
  // Nothing is held before the first key frame, nor again after a drain.
  if (!decoderOpen_ || !keySeen_) return;
  // They belong to frames already passed: they go out with the texts of the
  // last frame decoded.
  while (decoder_.Drain() == 0) DrawLocked(lastHeader_);
  keySeen_ = false;
}

void VideoOutput::Reset() {
  std::lock_guard lock(mutex_);
  decoder_.Close();
  decoderOpen_ = false;
  width_ = height_ = -1;
}

void VideoOutput::SetDrawObserver(std::function<void(const DrawnPicture&)> observer) {
  std::lock_guard lock(mutex_);
  drawObserver_ = std::move(observer);
}

void VideoOutput::SetPictureObserver(CQxVDecode::PictureObserver observer) {
  std::lock_guard lock(mutex_);
  decoder_.SetPictureObserver(std::move(observer));
}

void VideoOutput::ResetStats() {
  std::lock_guard lock(mutex_);
  fpsCount_ = 0;
  fpsSecond_ = 0;
  fpsText_[0] = L'\0';
}

void VideoOutput::CountFps(uint32_t frameSecond) {
  std::lock_guard lock(mutex_);
  if (frameSecond == fpsSecond_) {
    ++fpsCount_;
  } else {
    fpsSecond_ = frameSecond;
    fpsCount_ = 1;
  }
  std::swprintf(fpsText_, sizeof fpsText_ / sizeof fpsText_[0], L"FPS: %d/s", fpsCount_);
}

int VideoOutput::GetViewMode() const {
  std::lock_guard lock(mutex_);
  return viewMode_;
}

void VideoOutput::ClearPicture() { drawnFrame_.store(false, std::memory_order_release); }

void VideoOutput::LeaveViewMode() {
  std::lock_guard lock(mutex_);
  static const std::vector<uint8_t> black(16 * 16 * 4, 0);
  render_.Draw(16, 16, black.data(), L"", L"", L"");
  viewMode_ = -1;
}

void VideoOutput::SetOsdPosition(int position) {
  std::lock_guard lock(mutex_);
  render_.SetOsdPosition(position);
}

int VideoOutput::Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  bool square;
  {
    std::lock_guard lock(mutex_);
    square = width_ == height_;
  }
  if (square) return SnapshotDewarp(path, reason);
  return SaveSnapshot(path, asBmp, reason);
}

int VideoOutput::SnapshotDewarp(const std::wstring& path, std::error_code* reason) {
  // View mode 0 is the fisheye picture as it is; it is saved as a JPEG file.
  if (GetViewMode() != 0) return -1;
  return SaveSnapshot(path, false, reason);
}

int VideoOutput::SaveSnapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  std::vector<uint8_t> image;
  {
    std::lock_guard lock(mutex_);
    if (!HasDrawnFrame() || width_ <= 0 || height_ <= 0 || overlay_ || bitsPerPixel_ != 32 ||
        destination_.size() < static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4)
      return -1;
    try {
      image = MakeSnapshotBmp(width_, height_, destination_.data());
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }
  if (!asBmp) return SaveBitmapAsJpeg(image, path.c_str(), reason) == 0 ? 1 : -1;
  const std::string file = platform::WideToUtf8(path.c_str());
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) {
    if (reason) *reason = std::error_code(errno, std::generic_category());
    return -1;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  if (!written && reason) *reason = std::error_code(errno, std::generic_category());
  const bool closed = std::fclose(out) == 0;
  if (!closed && written && reason) *reason = std::error_code(errno, std::generic_category());
  if (!closed || !written) {
    std::remove(file.c_str());
    return -1;
  }
  return 1;
}

std::wstring VideoOutput::GetTimeText() const {
  std::lock_guard lock(mutex_);
  return timeText_;
}

std::wstring VideoOutput::GetTitleText() const {
  std::lock_guard lock(mutex_);
  return titleText_;
}

std::wstring VideoOutput::GetFpsText() const {
  std::lock_guard lock(mutex_);
  return fpsText_;
}
