#include "platform/wave_out.h"

#include "platform/null_wave_out.h"

namespace platform {

WaveResult WaveOutOpen(std::unique_ptr<WaveOut>& out, const WAVEFORMATEX& format,
                       MessageTargetPtr doneTarget) {
  out.reset();
  if (!IsPlayablePcm(format)) return WaveResult::BadFormat;
  if (!doneTarget) return WaveResult::InvalidParameter;
  std::shared_ptr<WaveOutBackend> backend = BackendSlot<WaveOutBackend>::Current();
  if (!backend) {
    static const auto null = std::make_shared<NullWaveOutBackend>();
    backend = null;
  }
  return backend->Open(format, std::move(doneTarget), out);
}

}  // namespace platform
