#include "platform/null_wave_out.h"

#include <cstdio>
#include <mutex>

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

// A write this soon after the device ran dry continues the pace.
constexpr uint64_t kGapMs = 30;

// Sleeps to absolute deadlines, counted from the bytes played since the pace
// began, so that late wake-ups and rounding do not add up: while buffers
// are queued a wake-up late by any amount is caught up, and the rate holds.
// Only after a real gap in the stream (the device ran dry, and nothing came
// for a while) does the pace start afresh from the present.
class RealTimeSink : public PcmSink {
 public:
  RealTimeSink(const WAVEFORMATEX& format, Clock& clock, std::shared_ptr<PcmRecording> recording)
      : bytesPerSecond_(format.avgBytesPerSec), clock_(clock), recording_(std::move(recording)) {}

  bool Play(const uint8_t* data, size_t bytes) override {
    if (recording_) recording_->Append(data, bytes);
    const uint64_t now = clock_.NowMs();
    if (ranDry_ && now > Deadline() + kGapMs) StartPaceAt(now);
    ranDry_ = false;
    paced_ += bytes;
    const uint64_t deadline = Deadline();
    if (deadline > now) clock_.SleepMs(static_cast<uint32_t>(deadline - now));
    return true;
  }

  void Discard() override { StartPaceAt(clock_.NowMs()); }
  void RanDry() override { ranDry_ = true; }

 private:
  uint64_t Deadline() const { return paceStartMs_ + paced_ * 1000 / bytesPerSecond_; }
  void StartPaceAt(uint64_t ms) {
    paceStartMs_ = ms;
    paced_ = 0;
  }

  const uint32_t bytesPerSecond_;
  Clock& clock_;
  std::shared_ptr<PcmRecording> recording_;
  uint64_t paceStartMs_ = 0;
  uint64_t paced_ = 0;  // bytes since the pace began
  bool ranDry_ = true;  // nothing was played yet
};

}  // namespace

NullWaveOutBackend::NullWaveOutBackend(const std::filesystem::path& recording)
    : recording_(std::make_shared<PcmRecording>(recording)) {}

WaveResult NullWaveOutBackend::Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                                    std::unique_ptr<WaveOut>& out) {
  if (!IsPlayablePcm(format)) return WaveResult::BadFormat;
  if (!doneTarget) return WaveResult::InvalidParameter;
  out = std::make_unique<StreamedWaveOut>(
      format, std::make_unique<RealTimeSink>(format, *clock_, recording_), std::move(doneTarget));
  return WaveResult::Ok;
}

}  // namespace platform
