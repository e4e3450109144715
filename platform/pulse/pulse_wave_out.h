#pragma once
// Wave output through a PulseAudio server (also what PipeWire desktops
// answer to), one playback stream per device.
#include <string>

#include "platform/wave_out.h"

namespace platform {

class PulseWaveOutBackend : public WaveOutBackend {
 public:
  // `server` empty: the server the environment names (PULSE_SERVER, the
  // user's session).
  explicit PulseWaveOutBackend(std::string server = {});

  // NoDevice when no server answers.
  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override;

  // Why the last open failed, in the server library's words.
  std::string LastError() const;

 private:
  std::string server_;
  std::string lastError_;
};

}  // namespace platform
