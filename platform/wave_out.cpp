#include "platform/wave_out.h"

#include <mutex>

#include "platform/null_wave_out.h"

namespace platform {
namespace {

std::mutex& BackendMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<WaveOutBackend>& InstalledBackend() {
  static std::shared_ptr<WaveOutBackend> backend;
  return backend;
}

}  // namespace

WaveResult WaveOutOpen(std::unique_ptr<WaveOut>& out, const WAVEFORMATEX& format,
                       MessageTargetPtr doneTarget) {
  out.reset();
  if (!IsPlayablePcm(format)) return WaveResult::BadFormat;
  if (!doneTarget) return WaveResult::InvalidParameter;
  std::shared_ptr<WaveOutBackend> backend;
  {
    std::lock_guard lock(BackendMutex());
    if (!InstalledBackend()) InstalledBackend() = std::make_shared<NullWaveOutBackend>();
    backend = InstalledBackend();
  }
  return backend->Open(format, std::move(doneTarget), out);
}

std::shared_ptr<WaveOutBackend> SetWaveOutBackend(std::shared_ptr<WaveOutBackend> backend) {
  std::lock_guard lock(BackendMutex());
  auto previous = std::move(InstalledBackend());
  InstalledBackend() = std::move(backend);
  return previous;
}

}  // namespace platform
