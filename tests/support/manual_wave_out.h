#pragma once
// A wave output for tests: nothing plays; buffers stay out until the test
// completes them, and every call is logged.  Failures can be arranged.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wave_out.h"

namespace platform {

class ManualWaveOutBackend : public WaveOutBackend {
 public:
  struct Failures {
    bool open = false;
    bool prepare = false;
    bool write = false;
    bool unprepare = false;
  };

  void SetFailures(const Failures& failures);
  // With holding on, a reset hands nothing back: each buffer then waits
  // for CompleteNext, as if the reset's messages were slow to arrive.
  void SetHoldOnReset(bool hold);

  WaveResult Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                  std::unique_ptr<WaveOut>& out) override;

  // Hands back the oldest buffer out on the newest device; false when none.
  bool CompleteNext();
  size_t BuffersOut() const;
  size_t Opens() const;
  // Devices opened and neither closed nor destroyed.
  size_t OpenDevices() const;
  // The bytes of every buffer written, in write order, over all devices.
  std::vector<std::vector<uint8_t>> Written() const;
  // "open", "write <length>", "unprepare", "reset", "close", in call order.
  std::vector<std::string> Log() const;
  WAVEFORMATEX LastFormat() const;

  bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

 private:
  class Device;
  struct DeviceState;

  void HandBackLocked(DeviceState& device);

  // Every device's state lives under this one lock.
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Failures failures_;
  bool holdOnReset_ = false;
  std::vector<std::shared_ptr<DeviceState>> devices_;
  std::vector<std::vector<uint8_t>> written_;
  std::vector<std::string> log_;
  WAVEFORMATEX lastFormat_{};
};

}  // namespace platform
