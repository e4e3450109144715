#include "player/decode/h264_dec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/pixfmt.h>
}

#include "platform/trace.h"
#include "player/decode/decoder_threads.h"
#include "player/decode/h264_dec_handle.h"

namespace {

constexpr int kOk = 0, kBadArgument = -1, kNoMemory = -3, kNegativeSize = -4, kNotOpened = -5,
              kFfmpegFailed = -6;

// A frame goes back to the free frames without its picture, so that the
// picture's buffer returns to FFmpeg's pool at once.
void RecycleFrame(H264DecHandle* handle, AVFrame* frame) {
  av_frame_unref(frame);
  if (PtrQueue_Push(handle->freeFrames, frame) != 0) av_frame_free(&frame);
}

void RecycleRecord(H264DecHandle* handle, H264DecPicture* record) {
  if (PtrQueue_Push(handle->freeRecords, record) != 0) std::free(record);
}

// FFmpeg's own code is kept for whoever tells the user why.
int FfmpegFailed(H264DecHandle* handle, int averror) {
  handle->lastFfmpegError = averror;
  return kFfmpegFailed;
}

bool IsEightBit420(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P; }

// FFmpeg's pixel limit bounds a picture's area, not its sides, and only
// the area of the cropped picture: each picture that comes out is checked
// again, and so is each picture buffer asked for, of the coded size.
bool WithinBound(const H264DecHandle* handle, const AVFrame* frame, int32_t factor) {
  return handle->maxWidth == 0 ||
         (frame->width <= factor * handle->maxWidth && frame->height <= factor * handle->maxHeight);
}

// Cropping may cut much of a coded picture away (the conformance streams
// cut 352 x 288 to 300 x 168), so the coded size gets twice the bound.
constexpr int32_t kCodedSizeFactor = 2;

int BoundedPictureBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  if (!WithinBound(static_cast<const H264DecHandle*>(context->opaque), frame, kCodedSizeFactor)) {
    return AVERROR(EINVAL);
  }
  return avcodec_default_get_buffer2(context, frame, flags);
}

void Fill(H264DecPicture* record, const AVFrame* frame) {
  record->y = frame->data[0];
  record->u = frame->data[1];
  record->v = frame->data[2];
  record->yStride = frame->linesize[0];
  record->uStride = frame->linesize[1];
  record->vStride = frame->linesize[2];
  // The frame's own size: the context's may already describe a later one.
  record->width = frame->width;
  record->height = frame->height;
  record->codedPictureNumber = frame->coded_picture_number;
  record->pictureType = frame->pict_type;
}

// Queues one decoded frame as a ready picture.
int Queue(H264DecHandle* handle, AVFrame* frame) {
  auto* record = static_cast<H264DecPicture*>(PtrQueue_Pop(handle->freeRecords));
  if (!record) record = static_cast<H264DecPicture*>(std::malloc(sizeof(H264DecPicture)));
  if (!record) {
    RecycleFrame(handle, frame);
    return kNoMemory;
  }
  Fill(record, frame);
  if (PtrQueue_Push(handle->framesInUse, frame) != 0) {
    RecycleFrame(handle, frame);
    RecycleRecord(handle, record);
    return kNoMemory;
  }
  if (PtrQueue_Push(handle->readyPictures, record) != 0) {
    PtrQueue_RemoveAt(handle->framesInUse, PtrQueue_Count(handle->framesInUse) - 1);
    RecycleFrame(handle, frame);
    RecycleRecord(handle, record);
    return kNoMemory;
  }
  return kOk;
}

// Takes every picture the decoder has ready.
int ReceiveAll(H264DecHandle* handle) {
  for (;;) {
    auto* frame = static_cast<AVFrame*>(PtrQueue_Pop(handle->freeFrames));
    if (!frame) frame = av_frame_alloc();
    if (!frame) return kNoMemory;
    const int result = avcodec_receive_frame(handle->context, frame);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
      RecycleFrame(handle, frame);
      return kOk;
    }
    if (result < 0) {
      RecycleFrame(handle, frame);
      return FfmpegFailed(handle, result);
    }
    // 10-bit, 4:2:2 and the like would be misread as 8-bit 4:2:0.
    if (!IsEightBit420(frame->format) || !WithinBound(handle, frame, 1)) {
      RecycleFrame(handle, frame);
      continue;
    }
    if (const int queued = Queue(handle, frame); queued != kOk) return queued;
  }
}

static_assert(kH264DecInputPadding >= AV_INPUT_BUFFER_PADDING_SIZE);

// The caller's padded bytes stay the caller's: FFmpeg only takes a reference.
void KeepCallersBytes(void*, uint8_t*) {}

int SendPacket(H264DecHandle* handle) {
  int result = avcodec_send_packet(handle->context, handle->packet);
  if (result == AVERROR(EAGAIN)) {
    // The decoder wants its output taken before it takes more input.
    if (const int received = ReceiveAll(handle); received != kOk) return received;
    result = avcodec_send_packet(handle->context, handle->packet);
  }
  return result < 0 ? FfmpegFailed(handle, result) : kOk;
}

// A payload without padding is copied behind zeroed padding.  A padded one
// is handed over in place, as a reference-counted buffer that FFmpeg refers
// to instead of copying it: a large payload then costs no second copy.
// Slice threads consume a packet before send and receive return, so FFmpeg
// lets go of the caller's bytes by then; should it ever hold on, it is
// flushed, because the caller reuses them for the next payload.
int Send(H264DecHandle* handle, const uint8_t* data, int32_t size, bool padded) {
  if (!padded) {
    av_fast_padded_malloc(&handle->input, &handle->inputCapacity, static_cast<size_t>(size));
    if (!handle->input) return kNoMemory;
    std::memcpy(handle->input, data, static_cast<size_t>(size));
    handle->packet->data = handle->input;
    handle->packet->size = size;
    const int sent = SendPacket(handle);
    av_packet_unref(handle->packet);
    return sent;
  }
  AVBufferRef* bytes = av_buffer_create(const_cast<uint8_t*>(data), static_cast<size_t>(size) + kH264DecInputPadding,
                                        KeepCallersBytes, nullptr, AV_BUFFER_FLAG_READONLY);
  if (!bytes) return kNoMemory;
  handle->packet->buf = av_buffer_ref(bytes);
  if (!handle->packet->buf) {
    av_buffer_unref(&bytes);
    return kNoMemory;
  }
  handle->packet->data = const_cast<uint8_t*>(data);
  handle->packet->size = size;
  int sent = SendPacket(handle);
  av_packet_unref(handle->packet);
  if (sent == kOk) sent = ReceiveAll(handle);
  if (av_buffer_get_ref_count(bytes) > 1) {
    platform::Trace("H.264 decoder held on to a payload; flushed\n");
    avcodec_flush_buffers(handle->context);
  }
  av_buffer_unref(&bytes);
  return sent;
}

void FreeFrames(PtrQueue* queue) {
  while (auto* frame = static_cast<AVFrame*>(PtrQueue_Pop(queue))) av_frame_free(&frame);
}

void FreeRecords(PtrQueue* queue) {
  while (void* record = PtrQueue_Pop(queue)) std::free(record);
}

}  // namespace

int H264Dec_Open(H264DecHandle** out) { return H264Dec_OpenBounded(out, 0, 0, 0); }

int H264Dec_OpenWithThreads(H264DecHandle** out, int threads) { return H264Dec_OpenBounded(out, threads, 0, 0); }

int H264Dec_OpenBounded(H264DecHandle** out, int threads, int32_t maxWidth, int32_t maxHeight) {
  if (!out || maxWidth < 0 || maxHeight < 0 || (maxWidth == 0) != (maxHeight == 0)) return kBadArgument;
  *out = nullptr;
  auto* handle = static_cast<H264DecHandle*>(av_mallocz(sizeof(H264DecHandle)));
  if (!handle) return kNoMemory;

  handle->codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!handle->codec) {
    H264Dec_Close(handle);
    return kFfmpegFailed;
  }
  handle->context = avcodec_alloc_context3(handle->codec);
  handle->freeFrames = PtrQueue_Create();
  handle->framesInUse = PtrQueue_Create();
  handle->freeRecords = PtrQueue_Create();
  handle->readyPictures = PtrQueue_Create();
  handle->fetchedPictures = PtrQueue_Create();
  handle->packet = av_packet_alloc();
  if (!handle->context || !handle->freeFrames || !handle->framesInUse || !handle->freeRecords ||
      !handle->readyPictures || !handle->fetchedPictures || !handle->packet) {
    H264Dec_Close(handle);
    return kNoMemory;
  }

  handle->context->thread_count =
      threads > 0 ? std::min(threads, kMaxDecoderThreads) : DecoderThreadCountFromEnvironment();
  // Slice threads only: frame threads would hold each picture back by
  // thread_count - 1 packets, and every frame must give its own picture.
  handle->context->thread_type = FF_THREAD_SLICE;
  // Crops at odd offsets are kept exact instead of being widened to an
  // aligned left edge (the converters need no alignment).
  handle->context->flags |= AV_CODEC_FLAG_UNALIGNED;
  // Taken at open: parameter sets that claim more then cost no buffers.
  if (maxWidth > 0) {
    handle->maxWidth = maxWidth;
    handle->maxHeight = maxHeight;
    handle->context->max_pixels = static_cast<int64_t>(maxWidth) * maxHeight;
    handle->context->opaque = handle;
    handle->context->get_buffer2 = BoundedPictureBuffer;
  }
  if (avcodec_open2(handle->context, handle->codec, nullptr) < 0) {
    H264Dec_Close(handle);
    return kFfmpegFailed;
  }
  handle->opened = 1;
  *out = handle;
  return kOk;
}

namespace {

int Decode(H264DecHandle* handle, const uint8_t* data, int32_t size, int32_t* used, bool padded) {
  if (!handle || !data || !used) return kBadArgument;
  if (size < 0) return kNegativeSize;
  if (!handle->opened) return kNotOpened;
  handle->lastFfmpegError = 0;
  // An empty packet would tell FFmpeg the stream has ended, after which it
  // takes no more input: size 0 only collects.
  if (size > 0) {
    if (const int sent = Send(handle, data, size, padded); sent != kOk) return sent;
  }
  if (const int received = ReceiveAll(handle); received != kOk) return received;
  *used = size;
  return kOk;
}

}  // namespace

int H264Dec_Decode(H264DecHandle* handle, const uint8_t* data, int32_t size, int32_t* used) {
  return Decode(handle, data, size, used, false);
}

int H264Dec_DecodePadded(H264DecHandle* handle, const uint8_t* data, int32_t size, int32_t* used) {
  return Decode(handle, data, size, used, true);
}

int H264Dec_Drain(H264DecHandle* handle) {
  if (!handle) return kBadArgument;
  if (!handle->opened) return kNotOpened;
  int result = avcodec_send_packet(handle->context, nullptr) < 0 ? kFfmpegFailed : kOk;
  if (result == kOk) result = ReceiveAll(handle);
  // The pictures taken are the adapter's own references: flushing keeps them.
  avcodec_flush_buffers(handle->context);
  return result;
}

int H264Dec_LastFfmpegError(const H264DecHandle* handle) { return handle ? handle->lastFfmpegError : 0; }

int H264Dec_GetPicture(H264DecHandle* handle, H264DecPicture** out) {
  if (!handle || !out) return kBadArgument;
  *out = static_cast<H264DecPicture*>(PtrQueue_Pop(handle->readyPictures));
  // Remembered so that Close can free it should it never come back.  Without
  // a node for it the picture is still handed out; only Close cannot reach it.
  if (*out) (void)PtrQueue_Push(handle->fetchedPictures, *out);
  return kOk;
}

int H264Dec_ReleasePicture(H264DecHandle* handle, H264DecPicture* picture) {
  if (!handle || !picture) return kBadArgument;
  size_t index = 0;
  PtrQueueNode* node = PtrQueue_First(handle->framesInUse);
  for (; node; node = PtrQueue_Next(node), ++index) {
    const auto* frame = static_cast<const AVFrame*>(PtrQueue_Value(node));
    if (frame->data[0] == picture->y && frame->data[1] == picture->u && frame->data[2] == picture->v) break;
  }
  if (!node) return kFfmpegFailed;
  RecycleFrame(handle, static_cast<AVFrame*>(PtrQueue_RemoveAt(handle->framesInUse, index)));

  index = 0;
  for (node = PtrQueue_First(handle->fetchedPictures); node; node = PtrQueue_Next(node), ++index) {
    if (PtrQueue_Value(node) == picture) {
      PtrQueue_RemoveAt(handle->fetchedPictures, index);
      break;
    }
  }
  RecycleRecord(handle, picture);
  return kOk;
}

void H264Dec_Close(H264DecHandle* handle) {
  if (!handle) return;
  // Ends FFmpeg's slice threads too.
  avcodec_free_context(&handle->context);
  for (PtrQueue* frames : {handle->freeFrames, handle->framesInUse}) {
    if (frames) FreeFrames(frames);
    PtrQueue_Destroy(frames);
  }
  for (PtrQueue* records : {handle->freeRecords, handle->readyPictures, handle->fetchedPictures}) {
    if (records) FreeRecords(records);
    PtrQueue_Destroy(records);
  }
  av_packet_free(&handle->packet);
  av_freep(&handle->input);
  av_free(handle);
}
