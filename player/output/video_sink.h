#pragma once
// The video half of what the play thread hands frames to, which the video
// output (player/output/video_output.h) is.  It lives with the output so
// that the engine, which hands frames on, depends on the output and not the
// other way round.  ShowVideoFrame, DrainVideo and Reset run on the play
// thread; the rest on the user-interface thread.
#include "player/archive/vyx_parser.h"

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
