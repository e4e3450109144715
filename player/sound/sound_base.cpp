#include "player/sound/sound_base.h"

CSoundBase::CSoundBase() : format_{}, bufferLength_(1000) {
  format_.formatTag = platform::WAVE_FORMAT_PCM;
  format_.channels = 1;
  format_.samplesPerSec = 8000;
  format_.bitsPerSample = 16;
  format_.extraSize = 0;
  Derive();
}

void CSoundBase::SetBitsPerSample(uint16_t bits) {
  format_.bitsPerSample = bits;
  Derive();
}

void CSoundBase::SetNumberOfChannels(uint16_t channels) {
  format_.channels = channels;
  Derive();
}

void CSoundBase::SetSamplesPerSecond(uint32_t samplesPerSecond) {
  format_.samplesPerSec = samplesPerSecond;
  Derive();
}

void CSoundBase::SetBufferSize(uint32_t samples) { bufferLength_ = samples; }

void CSoundBase::Derive() {
  format_.blockAlign = static_cast<uint16_t>(format_.bitsPerSample / 8 * format_.channels);
  // A second holds one block per sample for every channel together, so
  // the rate follows the block, not the sample alone.
  format_.avgBytesPerSec = format_.blockAlign * format_.samplesPerSec;
}
