#pragma once
// The one object through which the video box decodes a video payload into a
// picture for the renderer.  Open for a decoder kind and picture size,
// Decode once per frame, Close when the kind or size changes.  Not safe for
// concurrent calls (the video box calls it under its lock).
//
// The buffers belong to the caller: the source holds each payload, the
// destination the whole picture at the opened size in the output format
// (width x height pixels, no padding between rows, top-down).
#include <cstdint>
#include <functional>

#include "player/h264_dec.h"

enum : int32_t {
  DECODER_KIND_H264 = 1,   // FFmpeg
  DECODER_KIND_MPEG4 = 2,
  DECODER_KIND_JPEG = 3,
  DECODER_KIND_QX264 = 4,  // the system's own H.264 library
};

class CQxVDecode {
 public:
  CQxVDecode() = default;
  virtual ~CQxVDecode();
  CQxVDecode(const CQxVDecode&) = delete;
  CQxVDecode& operator=(const CQxVDecode&) = delete;

  // The display set-up, before Open: bits per pixel of the surface and
  // whether pictures go through a packed 4:2:2 overlay.  They choose the
  // output format of the H.264 and MPEG-4 paths.
  void SetOutputFormat(int32_t depth, int32_t overlay);

  // H.264: 1, or -1 when the decoder cannot be opened (or there is nothing
  // to decode into).  MPEG-4: 0, JPEG and CQx264: -1, until their decoders
  // exist.  Any other kind: -1.  A path still open is closed first.
  int32_t Open(uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t kind,
               int32_t format);
  // Decodes `length` source bytes: 0 when a picture was written, -1 when
  // none came out of this frame or no path is open.
  int32_t Decode(int32_t length);
  // Closes whatever is open; harmless when nothing is.
  void Close();
  // A new source buffer for the open path, for a caller whose payloads
  // outgrow the one it opened with.
  void SetSource(uint8_t* source) { source_ = source; }

  int32_t GetKind() const { return kind_; }
  int32_t GetOutputFormat() const { return format_; }

  // Sees each H.264 picture before it is converted (tools that check the
  // decoder's planes).
  using PictureObserver = std::function<void(const H264DecPicture&)>;
  void SetPictureObserver(PictureObserver observer) { observer_ = std::move(observer); }

 private:
  int32_t FormatByDisplay() const;
  int32_t OpenH264();
  int32_t DecodeH264(int32_t length);
  void CloseH264();
  void Convert(const H264DecPicture& picture);

  int32_t depth_ = 32;
  int32_t overlay_ = 0;
  int32_t kind_ = DECODER_KIND_MPEG4;
  int32_t format_ = 5;  // OUTPUT_FORMAT_YUV422
  H264DecHandle* h264_ = nullptr;
  uint8_t* source_ = nullptr;
  uint8_t* destination_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  PictureObserver observer_;
};
