#include "platform/pulse/pulse_wave_out.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include "platform/pcm_sink.h"
#include "platform/streamed_wave_out.h"

namespace platform {
namespace {

// The server holds about this much ahead of what is heard: a buffer is
// handed back this long before its end is played.
constexpr uint32_t kServerBufferMs = 100;

class PulseSink : public PcmSink {
 public:
  explicit PulseSink(pa_simple* stream) : stream_(stream) {}
  ~PulseSink() override { pa_simple_free(stream_); }
  PulseSink(const PulseSink&) = delete;
  PulseSink& operator=(const PulseSink&) = delete;

  // Blocks while the server's buffer is full, which paces the caller.
  bool Play(const uint8_t* data, size_t bytes) override {
    if (bytes == 0) return true;
    int error = 0;
    return pa_simple_write(stream_, data, bytes, &error) >= 0;
  }

  void Discard() override {
    int error = 0;
    pa_simple_flush(stream_, &error);
  }

 private:
  pa_simple* stream_;
};

}  // namespace

PulseWaveOutBackend::PulseWaveOutBackend(std::string server) : server_(std::move(server)) {}

std::string PulseWaveOutBackend::LastError() const { return lastError_; }

WaveResult PulseWaveOutBackend::Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                                     std::unique_ptr<WaveOut>& out) {
  if (!IsPlayablePcm(format) || format.channels > PA_CHANNELS_MAX) return WaveResult::BadFormat;
  if (!doneTarget) return WaveResult::InvalidParameter;
  pa_sample_spec spec{};
  spec.format = format.bitsPerSample == 16 ? PA_SAMPLE_S16LE : PA_SAMPLE_U8;
  spec.rate = format.samplesPerSec;
  spec.channels = static_cast<uint8_t>(format.channels);
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<uint32_t>(-1);
  attributes.tlength = format.avgBytesPerSec * kServerBufferMs / 1000;
  attributes.prebuf = static_cast<uint32_t>(-1);
  attributes.minreq = static_cast<uint32_t>(-1);
  attributes.fragsize = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(server_.empty() ? nullptr : server_.c_str(), "Orlenta",
                                    PA_STREAM_PLAYBACK, nullptr, "Playback", &spec, nullptr,
                                    &attributes, &error);
  if (!stream) {
    lastError_ = pa_strerror(error);
    return WaveResult::NoDevice;
  }
  out = std::make_unique<StreamedWaveOut>(format, std::make_unique<PulseSink>(stream),
                                          std::move(doneTarget));
  return WaveResult::Ok;
}

}  // namespace platform
