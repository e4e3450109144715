#include "tests/support/manual_wave_out.h"

#include <deque>

namespace platform {

struct ManualWaveOutBackend::DeviceState {
  MessageTargetPtr doneTarget;
  WaveOut* device = nullptr;
  std::deque<WAVEHDR*> out;
  bool open = true;
};

class ManualWaveOutBackend::Device : public WaveOut {
 public:
  Device(ManualWaveOutBackend& backend, std::shared_ptr<DeviceState> state)
      : backend_(backend), state_(std::move(state)) {
    state_->device = this;
  }

  ~Device() override {
    std::lock_guard lock(backend_.mutex_);
    // Buffers still out are abandoned with the device.
    state_->out.clear();
    state_->open = false;
    state_->device = nullptr;
    backend_.changed_.notify_all();
  }

  WaveResult Prepare(WAVEHDR& header) override {
    std::lock_guard lock(backend_.mutex_);
    if (backend_.failures_.prepare) return WaveResult::Error;
    header.flags |= kWaveHeaderPrepared;
    return WaveResult::Ok;
  }

  WaveResult Unprepare(WAVEHDR& header) override {
    std::lock_guard lock(backend_.mutex_);
    backend_.log_.push_back("unprepare");
    backend_.changed_.notify_all();
    if (backend_.failures_.unprepare) return WaveResult::Error;
    if (header.flags & kWaveHeaderInQueue) return WaveResult::StillPlaying;
    header.flags &= ~kWaveHeaderPrepared;
    return WaveResult::Ok;
  }

  WaveResult Write(WAVEHDR& header) override {
    std::lock_guard lock(backend_.mutex_);
    if (backend_.failures_.write) return WaveResult::Error;
    if (!(header.flags & kWaveHeaderPrepared)) return WaveResult::Unprepared;
    header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    state_->out.push_back(&header);
    backend_.written_.emplace_back(header.data, header.data + header.bufferLength);
    backend_.log_.push_back("write " + std::to_string(header.bufferLength));
    backend_.changed_.notify_all();
    return WaveResult::Ok;
  }

  WaveResult Reset() override {
    std::lock_guard lock(backend_.mutex_);
    backend_.log_.push_back("reset");
    if (!backend_.holdOnReset_) {
      while (!state_->out.empty()) backend_.HandBackLocked(*state_);
    }
    backend_.changed_.notify_all();
    return WaveResult::Ok;
  }

  WaveResult Close() override {
    std::lock_guard lock(backend_.mutex_);
    if (!state_->out.empty()) return WaveResult::StillPlaying;
    backend_.log_.push_back("close");
    state_->open = false;
    backend_.changed_.notify_all();
    return WaveResult::Ok;
  }

 private:
  ManualWaveOutBackend& backend_;
  std::shared_ptr<DeviceState> state_;
};

void ManualWaveOutBackend::HandBackLocked(DeviceState& device) {
  WAVEHDR* header = device.out.front();
  device.out.pop_front();
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  device.doneTarget->Post(MM_WOM_DONE, reinterpret_cast<uintptr_t>(device.device),
                          reinterpret_cast<intptr_t>(header));
}

void ManualWaveOutBackend::SetFailures(const Failures& failures) {
  std::lock_guard lock(mutex_);
  failures_ = failures;
}

void ManualWaveOutBackend::SetHoldOnReset(bool hold) {
  std::lock_guard lock(mutex_);
  holdOnReset_ = hold;
}

WaveResult ManualWaveOutBackend::Open(const WAVEFORMATEX& format, MessageTargetPtr doneTarget,
                                      std::unique_ptr<WaveOut>& out) {
  std::lock_guard lock(mutex_);
  if (failures_.open) return WaveResult::NoDevice;
  auto state = std::make_shared<DeviceState>();
  state->doneTarget = std::move(doneTarget);
  devices_.push_back(state);
  lastFormat_ = format;
  log_.push_back("open");
  changed_.notify_all();
  out = std::make_unique<Device>(*this, std::move(state));
  return WaveResult::Ok;
}

bool ManualWaveOutBackend::CompleteNext() {
  std::lock_guard lock(mutex_);
  if (devices_.empty() || devices_.back()->out.empty()) return false;
  HandBackLocked(*devices_.back());
  changed_.notify_all();
  return true;
}

size_t ManualWaveOutBackend::BuffersOut() const {
  std::lock_guard lock(mutex_);
  return devices_.empty() ? 0 : devices_.back()->out.size();
}

size_t ManualWaveOutBackend::Opens() const {
  std::lock_guard lock(mutex_);
  return devices_.size();
}

size_t ManualWaveOutBackend::OpenDevices() const {
  std::lock_guard lock(mutex_);
  size_t open = 0;
  for (const auto& device : devices_) open += device->open ? 1 : 0;
  return open;
}

std::vector<std::vector<uint8_t>> ManualWaveOutBackend::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::vector<std::string> ManualWaveOutBackend::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

WAVEFORMATEX ManualWaveOutBackend::LastFormat() const {
  std::lock_guard lock(mutex_);
  return lastFormat_;
}

bool ManualWaveOutBackend::WaitFor(const std::function<bool()>& condition,
                                   std::chrono::milliseconds timeout) const {
  // The condition calls the public accessors, which take the lock
  // themselves: it is checked between short waits, not under the lock.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace platform
