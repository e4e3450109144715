#include "platform/null_wave_out.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/pcm_sink.h"
#include "platform/streamed_wave_out.h"

namespace platform {

class PcmRecording {
 public:
  explicit PcmRecording(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "wb")) {}
  ~PcmRecording() {
    if (file_) std::fclose(file_);
  }
  PcmRecording(const PcmRecording&) = delete;
  PcmRecording& operator=(const PcmRecording&) = delete;

  // Flushed at once, so that the file can be read while playback goes on.
  void Append(const uint8_t* data, size_t bytes) {
    std::lock_guard lock(mutex_);
    if (!file_ || bytes == 0) return;
    std::fwrite(data, 1, bytes, file_);
    std::fflush(file_);
  }

 private:
  std::mutex mutex_;
  std::FILE* file_;
};

namespace {

using SteadyClock = std::chrono::steady_clock;

// Longer than any wake-up is late, shorter than an audible pause.
constexpr auto kGap = std::chrono::milliseconds(30);

// Sleeps to absolute deadlines, so that late wake-ups do not add up; only
// after a real gap in the stream (no buffer to play) does the pace start
// afresh from the present.
class RealTimeSink : public PcmSink {
 public:
  RealTimeSink(const WAVEFORMATEX& format, std::shared_ptr<PcmRecording> recording)
      : bytesPerSecond_(format.avgBytesPerSec), recording_(std::move(recording)) {}

  bool Play(const uint8_t* data, size_t bytes) override {
    if (recording_) recording_->Append(data, bytes);
    const auto now = SteadyClock::now();
    if (now - deadline_ > kGap) deadline_ = now;
    deadline_ += std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / bytesPerSecond_));
    std::this_thread::sleep_until(deadline_);
    return true;
  }

  void Discard() override { deadline_ = SteadyClock::now(); }

 private:
  const uint32_t bytesPerSecond_;
  std::shared_ptr<PcmRecording> recording_;
  SteadyClock::time_point deadline_{};
};

}  // namespace

NullWaveOutBackend::NullWaveOutBackend(const std::filesystem::path& recording)
    : recording_(std::make_shared<PcmRecording>(recording)) {}

WaveResult NullWaveOutBackend::Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                                    std::unique_ptr<WaveOut>& out) {
  if (!IsPlayablePcm(format)) return WaveResult::BadFormat;
  if (!doneTarget) return WaveResult::InvalidParameter;
  out = std::make_unique<StreamedWaveOut>(
      format, std::make_unique<RealTimeSink>(format, recording_), std::move(doneTarget));
  return WaveResult::Ok;
}

}  // namespace platform
