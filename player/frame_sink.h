#pragma once
// What the play thread hands frames to: the video box.  ShowVideoFrame,
// DrainVideo, PlayAudioFrame, DrainAudio, IsSoundPending and Reset run on
// the play thread; the rest on the user-interface thread.  The video half
// is the video output's (player/video_output.h), which the box forwards to.
#include "player/vyx_parser.h"

class VideoSink {
 public:
  virtual ~VideoSink() = default;
  virtual void ShowVideoFrame(const VyxFrame& frame) = 0;
  // At the end of the archive: shows what the video decoder still holds.
  // A sink whose decoders hold nothing back has nothing to do.
  virtual void DrainVideo() {}
  // Closes the decoder; the next frame re-opens.
  virtual void Reset() = 0;
  virtual void ResetStats() = 0;
  // The fisheye view mode; -1 when there is none.
  virtual int GetViewMode() const = 0;
  // After a failed open: nothing is drawn any more, the box paints black.
  virtual void ClearPicture() = 0;
  // A newly opened archive starts without a fisheye view.
  virtual void LeaveViewMode() = 0;
  // An archive was opened: whatever the sink tells once per archive may be
  // told again.
  virtual void StartArchive() {}
};

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
