#pragma once
// What the play thread hands frames to: the video box.  ShowVideoFrame,
// DrainVideo, PlayAudioFrame, DrainAudio, IsSoundPending and Reset run on
// the play thread; the rest on the user-interface thread.  The video half
// (player/output/video_sink.h) is the video output's, which the box
// forwards to.
#include "player/archive/vyx_parser.h"
#include "player/output/video_sink.h"

// The whole sink: video and sound; its Reset also stops the sound.
class FrameSink : public VideoSink {
 public:
  virtual void PlayAudioFrame(const VyxFrame& frame) = 0;
  // At the end of the archive: what the sound side still holds back (a
  // partly filled buffer, too little to start the output) is played.
  virtual void DrainAudio() = 0;
  // True while sound handed to the output has still to be heard.
  virtual bool IsSoundPending() const = 0;
};
