#include "player/vdecode.h"

#include <algorithm>

#include "codecs/mpeg4/output_formats.h"
#include "codecs/mpeg4/yuv_converters.h"

namespace {
// Open's failure value of the MPEG-4 path.
constexpr int32_t kMpeg4OpenFailed = 0;
}  // namespace

CQxVDecode::~CQxVDecode() { Close(); }

void CQxVDecode::SetOutputFormat(int32_t depth, int32_t overlay) {
  depth_ = depth;
  overlay_ = overlay;
}

int32_t CQxVDecode::FormatByDisplay() const {
  if (overlay_) return OUTPUT_FORMAT_YUV422;
  if (depth_ == 32) return OUTPUT_FORMAT_RGB32;
  if (depth_ == 24) return OUTPUT_FORMAT_RGB24;
  return OUTPUT_FORMAT_RGB16;
}

int32_t CQxVDecode::Open(uint8_t* source, uint8_t* destination, int32_t width, int32_t height, int32_t kind,
                         int32_t format) {
  // A path left open would be lost with its decoder.
  Close();
  kind_ = kind;
  format_ = format;
  source_ = source;
  destination_ = destination;
  width_ = width;
  height_ = height;
  switch (kind) {
    case DECODER_KIND_H264:
      return OpenH264();
    case DECODER_KIND_MPEG4:
      return kMpeg4OpenFailed;
    default:
      return -1;
  }
}

int32_t CQxVDecode::Decode(int32_t length) {
  if (kind_ == DECODER_KIND_H264 && h264_) return DecodeH264(length);
  return -1;
}

void CQxVDecode::Close() { CloseH264(); }

int32_t CQxVDecode::OpenH264() {
  format_ = FormatByDisplay();
  if (!source_ || !destination_ || width_ <= 0 || height_ <= 0) return -1;
  return H264Dec_Open(&h264_) == 0 ? 1 : -1;
}

int32_t CQxVDecode::DecodeH264(int32_t length) {
  int32_t used = 0;
  H264Dec_Decode(h264_, source_, length, &used);
  H264Dec_Decode(h264_, source_, 0, &used);
  // Several pictures may come out of one input: show the newest, give all
  // back, so that none piles up.
  H264DecPicture* newest = nullptr;
  H264DecPicture* picture = nullptr;
  while (H264Dec_GetPicture(h264_, &picture) == 0 && picture) {
    if (newest) H264Dec_ReleasePicture(h264_, newest);
    newest = picture;
  }
  if (!newest) return -1;
  if (observer_) observer_(*newest);
  Convert(*newest);
  H264Dec_ReleasePicture(h264_, newest);
  return 0;
}

// Never more than the opened size: a stream that declares a bigger picture
// than its archive must not write past the destination.
void CQxVDecode::Convert(const H264DecPicture& p) {
  const int32_t width = std::min(p.width, width_);
  const int32_t height = std::min(p.height, height_);
  switch (format_) {
    case OUTPUT_FORMAT_YUV422:
      YuvToYuy2(p.y, p.yStride, p.u, p.v, p.uStride, destination_, width, height, 2 * width_);
      break;
    case OUTPUT_FORMAT_RGB24:
      YuvToRgb24(p.y, p.yStride, p.u, p.v, p.uStride, destination_, width, height, width_);
      break;
    case OUTPUT_FORMAT_RGB16:
      YuvToRgb565(p.y, p.yStride, p.u, p.v, p.uStride, destination_, width, height, width_);
      break;
    default:
      YuvToRgb32(p.y, p.yStride, p.u, p.v, p.uStride, destination_, width, height, width_);
      break;
  }
}

void CQxVDecode::CloseH264() {
  H264Dec_Close(h264_);
  h264_ = nullptr;
}
