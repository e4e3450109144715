#pragma once
// Play modes: set by the user interface, obeyed by the play thread.  Other
// values (3, above 5) make the thread carry on as in play mode.
enum : int {
  PLAY_MODE_PLAY = 0,
  PLAY_MODE_PAUSE = 1,
  PLAY_MODE_STOP = 2,
  PLAY_MODE_STEP_BACK = 4,
  PLAY_MODE_STEP_FORWARD = 5,
};
