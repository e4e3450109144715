#include "player/output/video_output.h"

#include <cstring>
#include <ctime>
#include <cwchar>
#include <new>

#include "platform/clock.h"
#include "platform/trace.h"
#include "platform/wide_text.h"
#include "player/decode/h264_dec.h"
#include "player/output/snapshot_bmp.h"

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

// The header's title as wide text: UTF-8 or else Latin-1; a title that
// fills its field may have been cut there inside a character.
template <size_t N>
void TitleText(wchar_t (&to)[N], const VYX_FRAME_HEADER& header) {
  const std::string title = TitleOf(header);
  CopyText(to, platform::EightBitToWide(title, title.size() == sizeof header.title).c_str());
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

VideoOutput::VideoOutput(platform::VideoWindow& window, const VideoDecodeOptions& options,
                         const DewarpSettings& settings)
    : window_(window),
      options_(options),
      view_(settings, [] { return static_cast<uint32_t>(platform::SystemClock().NowMs()); }) {
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
  // Passthrough tiles show the destination where it lies.
  view_.ForgetSource();
  try {
    destination_.assign(destinationSize, 0);
    if (source_.empty()) source_.assign(kInitialSourceSize, 0);
  } catch (const std::bad_alloc&) {
    destination_.clear();
    platform::Trace("Video buffers of %dx%d cannot be had\n", width_, height_);
    return false;
  }

  const std::optional<int32_t> kind = DecoderKindOfClass(codecClass_, options_);
  if (!kind) return false;
  const int32_t opened = decoder_.Open(source_.data(), destination_.data(), width_, height_, *kind,
                                       OutputFormatForDisplay(bitsPerPixel_, overlay_));
  if (opened != 1) {
    platform::Trace("Decoder kind %d cannot be opened for %dx%d: %d\n", *kind, width_, height_, opened);
    return false;
  }
  decoderOpen_ = true;

  // Square pictures come from fisheye cameras; without a view they are
  // shown as they are (view mode 0).  With one, the renderer is set up for
  // the view's picture when it is drawn.
  if (width_ == height_ && viewMode_ == -1) viewMode_ = 0;
  render_.Init(&window_, width_, height_);
  renderWidth_ = width_;
  renderHeight_ = height_;
  return true;
}

// Views are made of whole 32-bit pixels.
bool VideoOutput::IsDewarpableLocked() const {
  return width_ == height_ && width_ > 0 && !overlay_ && bitsPerPixel_ == 32 &&
         destination_.size() >= static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4;
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
  if (outcomeObserver_) outcomeObserver_(h, decoder_.LastOutcome());
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
  int width = width_, height = height_;
  const uint8_t* pixels = destination_.data();
  size_t bytes = destination_.size();
  if (IsDewarpableLocked()) {
    if (viewMode_ != view_.GetViewMode()) view_.SetViewMode(viewMode_);
    view_.ComposeFisheyeView(reinterpret_cast<const uint32_t*>(destination_.data()), width_, height_, header.time);
    view_.DrawSelectionBorder();
    pixels = reinterpret_cast<const uint8_t*>(view_.GetViewOutputBuffer());
    width = view_.GetViewOutputWidth();
    height = view_.GetViewOutputHeight();
    bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (!pixels || width <= 0 || height <= 0) return;
    // A new view, or a drag at the moving size, changes the picture's size.
    if (width != renderWidth_ || height != renderHeight_) {
      render_.Init(&window_, width, height);
      renderWidth_ = width;
      renderHeight_ = height;
    }
  }
  render_.Draw(width, height, pixels, timeText_, titleText_, fpsText_);
  drawnFrame_.store(true, std::memory_order_release);
  if (drawObserver_) drawObserver_({header, width, height, std::span<const uint8_t>(pixels, bytes)});
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

void VideoOutput::SetOutcomeObserver(OutcomeObserver observer) {
  std::lock_guard lock(mutex_);
  outcomeObserver_ = std::move(observer);
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
  view_.SetViewMode(-1);
}

void VideoOutput::ChangeViewMode(int mode) {
  std::lock_guard lock(mutex_);
  if (mode == viewMode_) return;
  static const std::vector<uint8_t> black(16 * 16 * 4, 0);
  render_.Draw(16, 16, black.data(), L"", L"", L"");
  viewMode_ = mode;
}

int VideoOutput::ViewModeWidth(int mode) const {
  std::lock_guard lock(mutex_);
  return view_.ViewModeWidth(mode);
}

int VideoOutput::ViewModeHeight(int mode) const {
  std::lock_guard lock(mutex_);
  return view_.ViewModeHeight(mode);
}

bool VideoOutput::OnDewarpMouse(int message, int delta, int x, int y, int clientWidth, int clientHeight) {
  std::lock_guard lock(mutex_);
  const int before = view_.GetViewMode();
  const bool changed = view_.OnDewarpMouse(message, delta, x, y, clientWidth, clientHeight);
  // A tile picked in the layout shown: the box follows the view.
  if (view_.GetViewMode() != before && viewMode_ == before) viewMode_ = view_.GetViewMode();
  return changed;
}

bool VideoOutput::RestoreSingleViewSize() {
  std::lock_guard lock(mutex_);
  return view_.RestoreSingleViewSize() == 1;
}

void VideoOutput::SetOsdPosition(int position) {
  std::lock_guard lock(mutex_);
  render_.SetOsdPosition(position);
}

namespace {

// The channel that makes the selected tile of each view mode.
int SnapshotChannelOfMode(int mode) {
  switch (mode) {
    case 0: case 1: case 2: case 4: case 7: case 11: case 12: case 14: case 17: case 21: case 22: case 23:
      return 0;
    case 3: case 5: case 8: case 13: case 15: case 18: case 24: return 1;
    case 6: case 9: case 16: case 19: case 25: return 2;
    case 10: case 20: case 26: return 3;
    default: return -1;
  }
}

}  // namespace

std::vector<uint8_t> VideoOutput::SnapshotImage() const {
  std::lock_guard lock(mutex_);
  try {
    // A square picture, or none yet.
    if (width_ == height_ && (width_ <= 0 || IsDewarpableLocked())) return TileImageLocked();
    if (!HasDrawnFrame() || width_ <= 0 || height_ <= 0 || overlay_ || bitsPerPixel_ != 32 ||
        destination_.size() < static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4)
      return {};
    return MakeSnapshotBmp(width_, height_, destination_.data());
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// The selected tile of the view, or the raw picture in view mode 0.
std::vector<uint8_t> VideoOutput::TileImageLocked() const {
  std::vector<uint8_t> image;
  const int channel = SnapshotChannelOfMode(view_.GetViewMode());
  if (channel < 0 || !HasDrawnFrame()) return image;
  const auto keep = [&](std::span<const uint8_t> bmp, const std::wstring&) {
    image.assign(bmp.begin(), bmp.end());
    return true;
  };
  if (view_.SnapshotChannel(channel, std::wstring(), keep) != 1) image.clear();
  return image;
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
