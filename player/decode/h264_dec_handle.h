#pragma once
// The inside of an H.264 decoder handle, for the adapter and its tests.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include "player/decode/ptr_queue.h"

struct H264DecHandle {
  const AVCodec* codec;
  AVCodecContext* context;
  int32_t opened;
  PtrQueue* freeFrames;     // AVFrame*, unreferenced, ready for the next picture
  PtrQueue* framesInUse;    // AVFrame* whose picture is queued or handed out
  PtrQueue* freeRecords;    // H264DecPicture*
  PtrQueue* readyPictures;  // H264DecPicture* not fetched yet, oldest first
  PtrQueue* fetchedPictures;  // H264DecPicture* handed out and not released
  AVPacket* packet;
  // FFmpeg's readers may look up to AV_INPUT_BUFFER_PADDING_SIZE bytes past
  // a packet, so a packet without that padding (H264Dec_Decode) is copied
  // here with zeroed padding behind it.
  uint8_t* input;
  unsigned inputCapacity;
  int lastFfmpegError;  // AVERROR of the last call that failed in FFmpeg, 0 after one that did not
  // The largest picture handed out; 0: any.
  int32_t maxWidth;
  int32_t maxHeight;
};
