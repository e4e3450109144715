#pragma once
// The wave output of a machine without sound: buffers are consumed at the
// real-time rate of their format, so that playback keeps its pace, and what
// was played can be recorded to a file as raw PCM.  The pace is kept by a
// clock: the machine's, or one a test drives.
#include <filesystem>
#include <memory>

#include "platform/clock.h"
#include "platform/wave_out.h"

namespace platform {

class PcmRecording;

class NullWaveOutBackend : public WaveOutBackend {
 public:
  NullWaveOutBackend() = default;
  // Every device of this back end appends what it plays to the file, which
  // is emptied first.  When the file cannot be written nothing is kept.
  explicit NullWaveOutBackend(const std::filesystem::path& recording);
  // Paced by `clock`, which must outlive every device opened.
  explicit NullWaveOutBackend(Clock& clock) : clock_(&clock) {}

  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override;

 private:
  // Shared with the devices, which may outlive the back end.
  std::shared_ptr<PcmRecording> recording_;
  Clock* clock_ = &SystemClock();
};

}  // namespace platform
