#include "platform/pulse/server_or_null_wave_out.h"

#include <string>

#include "platform/trace.h"

namespace platform {

ServerOrNullWaveOutBackend::ServerOrNullWaveOutBackend(std::shared_ptr<WaveOutBackend> null,
                                                       std::function<void(const std::string& why)> silenced)
    : null_(std::move(null)), silenced_(std::move(silenced)) {}

WaveResult ServerOrNullWaveOutBackend::Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                                            std::unique_ptr<WaveOut>& out) {
  std::string error;
  {
    std::lock_guard lock(mutex_);
    const WaveResult result = server_.Open(format, doneTarget, out);
    if (result != WaveResult::NoDevice) return result;
    if (traced_) return null_->Open(format, std::move(doneTarget), out);
    traced_ = true;
    error = server_.LastError();
  }
  Trace("No sound server answers (%s): the sound is not played\n", error.c_str());
  if (silenced_) silenced_(error);
  return null_->Open(format, std::move(doneTarget), out);
}

}  // namespace platform
