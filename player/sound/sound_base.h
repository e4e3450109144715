#pragma once
// The PCM format of a sound output and the length of its buffers.  Setting
// one of the format's values recomputes the values derived from it.
#include <cstdint>

#include "platform/wave_format.h"

class CSoundBase {
 public:
  // 16-bit mono PCM at 8000 samples per second, buffers of 1000 samples.
  CSoundBase();
  virtual ~CSoundBase() = default;

  void SetBitsPerSample(uint16_t bits);
  void SetNumberOfChannels(uint16_t channels);
  void SetSamplesPerSecond(uint32_t samplesPerSecond);
  // Samples (frames of all channels) per output buffer.
  void SetBufferSize(uint32_t samples);

  const platform::WAVEFORMATEX& GetFormat() const { return format_; }
  uint32_t GetBufferSize() const { return bufferLength_; }

 protected:
  // Taken whole from a caller's record, derived fields included.
  void SetFormat(const platform::WAVEFORMATEX& format) { format_ = format; }

 private:
  void Derive();

  platform::WAVEFORMATEX format_;
  uint32_t bufferLength_;
};
