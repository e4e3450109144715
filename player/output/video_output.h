#pragma once
// The video output: the video half of what the play thread hands frames to.
// It decodes each video frame through the decoder front (re-opened when the
// codec class or the picture size changes, then waiting for a key frame)
// and draws it with its title and recording time through the renderer, in
// whatever window it was given: the player's video box, or a window in
// memory for the tools and tests.  It keeps the texts shown, counts frames
// per second and hands the last picture over for snapshots.
//
// Square pictures come from fisheye cameras: they go through the fisheye
// view, which shows them raw or dewarped by the view mode.
//
// One lock, the decode lock, guards the decoder, the buffers, the renderer,
// the view mode and the fisheye view; it is held while a frame is decoded
// and drawn.  Whether
// a frame has been drawn is readable without it, so that painting never
// waits for decoding.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "dewarp/dewarp_settings.h"
#include "dewarp/fisheye_view.h"
#include "platform/video_window.h"
#include "player/archive/vyx_parser.h"
#include "player/decode/decode_options.h"
#include "player/decode/vdecode.h"
#include "player/output/render.h"
#include "player/output/video_sink.h"

// Pictures larger than this either way are not from any recorder; such a
// header is corrupt, and its size would only make huge buffers.
constexpr int kMaxPictureSide = 8192;

// One picture as drawn: the destination buffer at the archive's size in the
// output format.
struct DrawnPicture {
  const VYX_FRAME_HEADER& header;
  int width;
  int height;
  std::span<const uint8_t> pixels;
};

class VideoOutput : public VideoSink {
 public:
  // settings: the fisheye views' (the application's record, which must
  // outlive the output).
  explicit VideoOutput(platform::VideoWindow& window, const VideoDecodeOptions& options = {},
                       const DewarpSettings& settings = DefaultDewarpSettings());
  ~VideoOutput() override;
  VideoOutput(const VideoOutput&) = delete;
  VideoOutput& operator=(const VideoOutput&) = delete;

  // Play thread.
  void ShowVideoFrame(const VyxFrame& frame) override;
  // At the end of the archive: draws the pictures the decoder still holds,
  // then waits for a key frame again.
  void DrainVideo() override;
  // Closes the decoder; the next frame re-opens.
  void Reset() override;

  // User-interface thread.
  void SetOutputFormat(int bitsPerPixel, int overlay);
  void SetOsdPosition(int position);
  void ResetStats() override;
  void CountFps(uint32_t frameSecond);
  int GetViewMode() const override;
  void ClearPicture() override;
  void LeaveViewMode() override;
  // The fisheye view mode shown from the next frame on; the picture is
  // cleared when it changes.
  void ChangeViewMode(int mode);
  // The picture size of a view mode for the current square source.
  int ViewModeWidth(int mode) const;
  int ViewModeHeight(int mode) const;
  // Mouse input on a client area of the given size showing the picture (see
  // FisheyeView::OnDewarpMouse); true when the picture changes.  A click
  // that selects another tile makes its mode the current one.
  bool OnDewarpMouse(int message, int delta, int x, int y, int clientWidth, int clientHeight);
  // After a drag of a single view: back to its full size; true when it acted.
  bool RestoreSingleViewSize();
  // The last picture as a 32-bit BMP file image, for the snapshot writer
  // (player/output/snapshot_writer.h); a square picture gives the selected tile of
  // its view.  Empty when there is no picture or memory runs out.
  std::vector<uint8_t> SnapshotImage() const;

  std::wstring GetTimeText() const;
  std::wstring GetTitleText() const;
  std::wstring GetFpsText() const;
  // Lock-free: a frame has been drawn since the last ClearPicture.
  bool HasDrawnFrame() const { return drawnFrame_.load(std::memory_order_acquire); }

  // Called on the play thread, under the decode lock, after each picture
  // drawn.
  void SetDrawObserver(std::function<void(const DrawnPicture&)> observer);
  // Sees the planes of each picture decoded, before conversion.
  void SetPictureObserver(CQxVDecode::PictureObserver observer);
  // Called on the play thread, under the decode lock, for each record given
  // to the decoder, with what its decode came to (drawn or not).
  using OutcomeObserver = std::function<void(const VYX_FRAME_HEADER&, const DecodeOutcome&)>;
  void SetOutcomeObserver(OutcomeObserver observer);

 private:
  bool OpenDecoderLocked(const LOCAL_FRAME_INDEX& record);
  // Copies the payload with its zero padding; false when it cannot be had.
  bool FillSourceLocked(const std::vector<uint8_t>& payload);
  void DrawLocked(const VYX_FRAME_HEADER& header);
  bool IsDewarpableLocked() const;
  std::vector<uint8_t> TileImageLocked() const;

  platform::VideoWindow& window_;
  mutable std::recursive_mutex mutex_;
  int width_ = 0;  // -1 after Reset: the next frame re-opens
  int height_ = 0;
  int codecClass_ = CODEC_CLASS_MPEG4;
  VideoDecodeOptions options_;
  bool decoderOpen_ = false;
  bool keySeen_ = false;
  VYX_FRAME_HEADER lastHeader_{};  // of the last frame given to the decoder
  CQxVDecode decoder_;
  CQxRender render_;
  std::vector<uint8_t> source_;
  std::vector<uint8_t> destination_;
  int overlay_ = 1;
  int bitsPerPixel_ = 32;
  wchar_t titleText_[20] = {};
  wchar_t timeText_[32] = {};
  wchar_t fpsText_[25] = {};
  std::atomic<bool> drawnFrame_{false};
  int fpsCount_ = 0;
  uint32_t fpsSecond_ = 0;
  int viewMode_ = -1;
  FisheyeView view_;
  int renderWidth_ = 0;  // the picture size the renderer was set up for
  int renderHeight_ = 0;
  std::function<void(const DrawnPicture&)> drawObserver_;
  OutcomeObserver outcomeObserver_;
};
