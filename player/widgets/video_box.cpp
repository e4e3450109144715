#include "player/widgets/video_box.h"

#include <QMouseEvent>
#include <QPainter>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <new>

#include "platform/trace.h"
#include "platform/wide_text.h"
#include "player/decoder_opening.h"
#include "player/snapshot_bmp.h"
#include "player/snapshot_writer.h"
#include "player/widgets/video_container.h"

namespace {

// Pictures larger than this either way are not from any recorder; such a
// header is corrupt, and its size would only make huge buffers.
constexpr int kMaxPictureSide = 8192;
// The decoder may read this far past a payload.
constexpr size_t kInputPadding = 64;
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

CQxVideoBox::CQxVideoBox(CQxVideoContainer* container, platform::MessageTargetPtr mainWindow)
    : platform::QtVideoWidget(container), mainWindow_(std::move(mainWindow)) {
  ResetStats();
}

CQxVideoBox::~CQxVideoBox() {
  std::lock_guard lock(mutex_);
  decoder_.Close();
  render_.Release();
}

void CQxVideoBox::SetOutputFormat(int bitsPerPixel, int overlay) {
  std::lock_guard lock(mutex_);
  bitsPerPixel_ = bitsPerPixel;
  overlay_ = overlay;
  decoder_.SetOutputFormat(bitsPerPixel, overlay);
  render_.SetOutputFormat(bitsPerPixel, overlay);
  if (source_.empty()) source_.assign(kInitialSourceSize, 0);
}

bool CQxVideoBox::OpenDecoderLocked(const LOCAL_FRAME_INDEX& record) {
  const VYX_FRAME_HEADER& h = record.header;
  width_ = h.width;
  height_ = h.height;
  codecClass_ = record.codecClass;
  decoder_.Close();
  decoderOpen_ = false;

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

  const std::optional<DecoderOpening> opening = DecoderOpeningFor(codecClass_, h.type);
  if (!opening) return false;
  keySeen_ = opening->keySeen;
  const int32_t opened =
      decoder_.Open(source_.data(), destination_.data(), width_, height_, opening->kind, opening->format);
  if (opened != 1) {
    platform::Trace("Decoder kind %d cannot be opened for %dx%d: %d\n", opening->kind, width_, height_, opened);
    return false;
  }
  decoderOpen_ = true;

  // Square pictures come from fisheye cameras; without a view they are
  // shown as they are (view mode 0).
  if (width_ == height_) viewMode_ = 0;
  render_.Init(this, width_, height_);
  return true;
}

void CQxVideoBox::ShowVideoFrame(const VyxFrame& frame) {
  const VYX_FRAME_HEADER& h = frame.index.header;
  if (h.type == FRAME_TYPE_G723_A) return;
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

  // The whole payload, then zeroes: a terminator and the decoder's padding.
  const size_t length = frame.payload.size();
  if (source_.size() < length + kInputPadding) {
    try {
      source_.assign(length + kInputPadding, 0);
    } catch (const std::bad_alloc&) {
      platform::Trace("Source buffer of %zu bytes cannot be had\n", length + kInputPadding);
      return;
    }
    decoder_.SetSource(source_.data());
  }
  std::memcpy(source_.data(), frame.payload.data(), length);
  std::memset(source_.data() + length, 0, kInputPadding);

  wchar_t timeText[32];
  wchar_t titleText[20];
  TimeText(timeText, h.time);
  TitleText(titleText, h);

  const int32_t result = decoder_.Decode(static_cast<int32_t>(length));
  if (result != 0) {
    platform::Trace("Decode Error %d: %02x %02x %02x %02x %02x i = %d f = %d \n", result, source_[0],
                    source_[1], source_[2], source_[3], source_[4], h.byte41, h.frameFlag);
    return;
  }
  CopyText(titleText_, titleText);
  CopyText(timeText_, timeText);
  CountFps(h.time);
  render_.Draw(width_, height_, destination_.data(), timeText_, titleText_, fpsText_);
  drawnFrame_ = true;
  if (drawObserver_) drawObserver_(h);
}

void CQxVideoBox::SetDrawObserver(std::function<void(const VYX_FRAME_HEADER&)> observer) {
  std::lock_guard lock(mutex_);
  drawObserver_ = std::move(observer);
}

void CQxVideoBox::PlayAudioFrame(const VyxFrame& frame) { audio_.PlayAudioFrame(frame); }

void CQxVideoBox::Reset() {
  {
    std::lock_guard lock(mutex_);
    decoder_.Close();
    decoderOpen_ = false;
    width_ = height_ = -1;
  }
  // Outside the lock: stopping waits for the sound output to hand its
  // buffers back, which needs nothing of the picture's.
  audio_.StopAudio();
}

void CQxVideoBox::ResetStats() {
  std::lock_guard lock(mutex_);
  fpsCount_ = 0;
  fpsSecond_ = 0;
  fpsText_[0] = L'\0';
}

void CQxVideoBox::CountFps(uint32_t frameSecond) {
  std::lock_guard lock(mutex_);
  if (frameSecond == fpsSecond_) {
    ++fpsCount_;
  } else {
    fpsSecond_ = frameSecond;
    fpsCount_ = 1;
  }
  std::swprintf(fpsText_, sizeof fpsText_ / sizeof fpsText_[0], L"FPS: %d/s", fpsCount_);
}

int CQxVideoBox::GetViewMode() const {
  std::lock_guard lock(mutex_);
  return viewMode_;
}

void CQxVideoBox::ClearPicture() {
  {
    std::lock_guard lock(mutex_);
    drawnFrame_ = false;
  }
  repaint();
}

void CQxVideoBox::LeaveViewMode() {
  std::lock_guard lock(mutex_);
  static const std::vector<uint8_t> black(16 * 16 * 4, 0);
  render_.Draw(16, 16, black.data(), L"", L"", L"");
  viewMode_ = -1;
}

void CQxVideoBox::SetOsdPosition(int position) {
  std::lock_guard lock(mutex_);
  render_.SetOsdPosition(position);
}

int CQxVideoBox::Snapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  bool square;
  {
    std::lock_guard lock(mutex_);
    square = width_ == height_;
  }
  if (square) return SnapshotDewarp(path, reason);
  return SaveSnapshot(path, asBmp, reason);
}

int CQxVideoBox::SnapshotDewarp(const std::wstring& path, std::error_code* reason) {
  // View mode 0 is the fisheye picture as it is; it is saved as a JPEG file.
  if (GetViewMode() != 0) return -1;
  return SaveSnapshot(path, false, reason);
}

int CQxVideoBox::SaveSnapshot(const std::wstring& path, bool asBmp, std::error_code* reason) {
  std::vector<uint8_t> image;
  {
    std::lock_guard lock(mutex_);
    if (!drawnFrame_ || width_ <= 0 || height_ <= 0 || overlay_ || bitsPerPixel_ != 32 ||
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

std::wstring CQxVideoBox::GetTimeText() const {
  std::lock_guard lock(mutex_);
  return timeText_;
}

std::wstring CQxVideoBox::GetTitleText() const {
  std::lock_guard lock(mutex_);
  return titleText_;
}

std::wstring CQxVideoBox::GetFpsText() const {
  std::lock_guard lock(mutex_);
  return fpsText_;
}

bool CQxVideoBox::HasDrawnFrame() const {
  std::lock_guard lock(mutex_);
  return drawnFrame_;
}

void CQxVideoBox::paintEvent(QPaintEvent* event) {
  if (HasDrawnFrame()) {
    platform::QtVideoWidget::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

void CQxVideoBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && mainWindow_) {
    const QPoint p = event->position().toPoint();
    mainWindow_->Post(WM_VIDEO_CONTEXT_MENU, static_cast<uintptr_t>(p.x()), p.y());
  }
  platform::QtVideoWidget::mouseReleaseEvent(event);
}

void CQxVideoBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && mainWindow_) {
    const QPoint p = event->position().toPoint();
    mainWindow_->Post(WM_VIDEO_TOGGLE_MAXIMIZE, static_cast<uintptr_t>(p.x()), p.y());
  }
  platform::QtVideoWidget::mouseDoubleClickEvent(event);
}
