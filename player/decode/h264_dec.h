#pragma once
// The H.264 path through FFmpeg: one decoder per handle, pictures handed out
// as plain records of plane pointers and strides, FFmpeg frames and the
// records recycled so that steady decoding allocates nothing.
//
// Results: 0 ok, -1 bad argument, -3 out of memory, -4 negative size, -5 not
// opened, -6 FFmpeg failed (or a released picture matches no frame in use).
// Nothing is shown or traced.
//
// Calling order per input frame: Decode(data, length), Decode(data, 0),
// GetPicture, and ReleasePicture of what came out before the next Decode.
// One thread at a time per handle.
#include <cstdint>

struct H264DecHandle;

// Only 8-bit 4:2:0 pictures are handed out; the chroma planes are
// (width + 1) / 2 by (height + 1) / 2.  The planes belong to FFmpeg's frame
// and stay valid until the record is released or the handle closed.
struct H264DecPicture {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int32_t yStride;
  int32_t uStride;
  int32_t vStride;
  int32_t width;
  int32_t height;
  int32_t codedPictureNumber;
  int32_t pictureType;  // FFmpeg's picture type (1 I, 2 P, 3 B, ...)
};

// 0 with *out a new handle; -1 when out is null; -3 when memory runs out;
// -6 when FFmpeg has no H.264 decoder or cannot open it.  On failure *out is
// null and nothing stays allocated.
int H264Dec_Open(H264DecHandle** out);
// The same with FFmpeg's thread count given (1..kMaxDecoderThreads; 0 takes
// it from the environment as H264Dec_Open does).
int H264Dec_OpenWithThreads(H264DecHandle** out, int threads);
// The same with pictures bounded by maxWidth x maxHeight, whatever the
// stream's parameter sets claim: FFmpeg allocates no picture of more
// pixels than that, nor a coded picture (before cropping) more than twice
// as wide or as tall, and gives no picture then; a picture that comes out
// wider or taller than the bound is dropped.  0 for both: no bound; 0 for
// one of them is -1.
int H264Dec_OpenBounded(H264DecHandle** out, int threads, int32_t maxWidth, int32_t maxHeight);
// Feeds size bytes (a whole access unit, or several) and collects every
// picture that comes out, oldest first.  Size 0 is the "empty packet": it
// only collects pictures still to come, and never ends the stream.  *used
// gets the bytes taken (all of them, or 0 for the empty packet).  Pictures
// of any format other than 8-bit 4:2:0, or beyond the bound, are dropped.
int H264Dec_Decode(H264DecHandle* handle, const uint8_t* data, int32_t size, int32_t* used);
// The same for data followed by at least kH264DecInputPadding zero bytes:
// FFmpeg reads it where it lies instead of from a padded copy.
constexpr int32_t kH264DecInputPadding = 64;
int H264Dec_DecodePadded(H264DecHandle* handle, const uint8_t* data, int32_t size, int32_t* used);
// The end of the stream: collects every picture the decoder still holds
// back for reordering, then readies it for a new stream, which has to
// start with a key frame.
int H264Dec_Drain(H264DecHandle* handle);
// FFmpeg's AVERROR code when the last Decode returned -6 for a failure
// inside FFmpeg; 0 when that call had none.
int H264Dec_LastFfmpegError(const H264DecHandle* handle);
// 0 with *out the oldest picture not fetched yet, or null when there is none.
int H264Dec_GetPicture(H264DecHandle* handle, H264DecPicture** out);
// Gives a fetched picture back; -6 when its planes match no frame in use
// (the record then stays with the caller).
int H264Dec_ReleasePicture(H264DecHandle* handle, H264DecPicture* picture);
// Frees everything, pictures not yet released included (their records are
// invalid afterwards).  A null handle is ignored.
void H264Dec_Close(H264DecHandle* handle);
