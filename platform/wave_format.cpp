#include "platform/wave_format.h"

namespace platform {

bool IsPlayablePcm(const WAVEFORMATEX& format) {
  if (format.formatTag != WAVE_FORMAT_PCM) return false;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return false;
  if (format.channels == 0 || format.samplesPerSec == 0) return false;
  const uint32_t blockAlign = format.channels * (format.bitsPerSample / 8u);
  return format.blockAlign == blockAlign &&
         format.avgBytesPerSec == static_cast<uint64_t>(blockAlign) * format.samplesPerSec;
}

}  // namespace platform
