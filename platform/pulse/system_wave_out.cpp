#include "platform/pulse/system_wave_out.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/null_wave_out.h"
#include "platform/pulse/pulse_wave_out.h"
#include "platform/trace.h"

namespace platform {
namespace {

// Each open asks the server again, so that sound returns once a server
// runs; the change to silence is traced only the first time.
class ServerOrNullBackend : public WaveOutBackend {
 public:
  explicit ServerOrNullBackend(std::shared_ptr<WaveOutBackend> null) : null_(std::move(null)) {}

  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override {
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
    return null_->Open(format, std::move(doneTarget), out);
  }

 private:
  std::mutex mutex_;
  PulseWaveOutBackend server_;
  bool traced_ = false;
  std::shared_ptr<WaveOutBackend> null_;
};

std::shared_ptr<WaveOutBackend> MakeNullBackend() {
  const char* recording = std::getenv("ORLENTA_SOUND_RECORD");
  if (recording && *recording) return std::make_shared<NullWaveOutBackend>(recording);
  return std::make_shared<NullWaveOutBackend>();
}

}  // namespace

std::shared_ptr<WaveOutBackend> MakeSystemWaveOutBackend() {
  const char* choice = std::getenv("ORLENTA_SOUND");
  const std::string name = choice ? choice : "";
  if (name == "null") return MakeNullBackend();
  if (!name.empty() && name != "pulse") {
    Trace("ORLENTA_SOUND=%s is not known (null or pulse); the sound server is used\n",
          name.c_str());
  }
  return std::make_shared<ServerOrNullBackend>(MakeNullBackend());
}

void InstallSystemWaveOutBackend() { SetWaveOutBackend(MakeSystemWaveOutBackend()); }

}  // namespace platform
