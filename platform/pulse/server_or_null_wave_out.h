#pragma once
// Wave output through the sound server while one answers, else through a
// null output.  Each open asks the server again, so that sound returns once
// a server runs; the change to silence is traced and told only the first
// time.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/pulse/pulse_wave_out.h"
#include "platform/wave_out.h"

namespace platform {

class ServerOrNullWaveOutBackend : public WaveOutBackend {
 public:
  // `silenced` hears why the server did not answer, on the thread that
  // opened.
  explicit ServerOrNullWaveOutBackend(std::shared_ptr<WaveOutBackend> null,
                                      std::function<void(const std::string& why)> silenced = {});

  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override;

 private:
  std::mutex mutex_;
  PulseWaveOutBackend server_;
  bool traced_ = false;
  std::shared_ptr<WaveOutBackend> null_;
  std::function<void(const std::string& why)> silenced_;
};

}  // namespace platform
