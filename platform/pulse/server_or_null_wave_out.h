#pragma once
// Wave output through the sound server while one answers, else through a
// null output.  Each open asks the server again, so that sound returns once
// a server runs; the change to silence is traced only the first time.
#include <memory>
#include <mutex>

#include "platform/pulse/pulse_wave_out.h"
#include "platform/wave_out.h"

namespace platform {

class ServerOrNullWaveOutBackend : public WaveOutBackend {
 public:
  explicit ServerOrNullWaveOutBackend(std::shared_ptr<WaveOutBackend> null);

  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override;

 private:
  std::mutex mutex_;
  PulseWaveOutBackend server_;
  bool traced_ = false;
  std::shared_ptr<WaveOutBackend> null_;
};

}  // namespace platform
