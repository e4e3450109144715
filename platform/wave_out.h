#pragma once
// Wave output: a device plays PCM buffers in the order they are written and
// hands each one back, once played, as an MM_WOM_DONE message (wParam the
// device, lParam the header) posted to the target given at open.  A reset
// hands back every buffer still out at once, in write order; a device can
// only be closed when no buffer is out.  Devices come from the installed
// back end; without one, from a null back end that plays nothing.
#include <cstdint>
#include <memory>

#include "platform/backend_slot.h"
#include "platform/message_target.h"
#include "platform/wave_format.h"

namespace platform {

constexpr uint32_t MM_WOM_DONE = 0x3BD;

// Header flags, kept by the device.
constexpr uint32_t kWaveHeaderPrepared = 0x1;
constexpr uint32_t kWaveHeaderDone = 0x2;
constexpr uint32_t kWaveHeaderInQueue = 0x4;

// One buffer handed to a device.  The caller owns the header and its data
// and must leave both alone while the buffer is out.
struct WAVEHDR {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;
  uint32_t flags = 0;
  void* user = nullptr;
};

enum class WaveResult {
  Ok,
  Error,
  BadFormat,
  NoDevice,
  InvalidParameter,
  Unprepared,    // written without being prepared
  StillPlaying,  // unprepared while out, or closed with buffers out
};

class WaveOut {
 public:
  virtual ~WaveOut() = default;
  virtual WaveResult Prepare(WAVEHDR& header) = 0;
  virtual WaveResult Unprepare(WAVEHDR& header) = 0;
  virtual WaveResult Write(WAVEHDR& header) = 0;
  virtual WaveResult Reset() = 0;
  // After a successful close only destruction is left.
  virtual WaveResult Close() = 0;
};

class WaveOutBackend {
 public:
  virtual ~WaveOutBackend() = default;
  virtual WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                          std::unique_ptr<WaveOut>& out) = 0;
};

// Checks the format, then opens a device of the installed back end.
WaveResult WaveOutOpen(std::unique_ptr<WaveOut>& out, const WAVEFORMATEX& format,
                       MessageTargetPtr doneTarget);

// Installs a back end (null: the null one) and returns the one it replaces.
inline std::shared_ptr<WaveOutBackend> SetWaveOutBackend(std::shared_ptr<WaveOutBackend> backend) {
  return BackendSlot<WaveOutBackend>::Set(std::move(backend));
}

// Installs a back end for the lifetime of the object.
using ScopedWaveOutBackend = ScopedBackend<WaveOutBackend>;

}  // namespace platform
