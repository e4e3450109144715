#pragma once
// Monotonic millisecond time and sleeping, behind an interface so that
// tests can drive time instead of waiting for it.
#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary fixed point; never goes backwards.
  virtual uint64_t NowMs() const = 0;
  virtual void SleepMs(uint32_t milliseconds) = 0;
};

// The machine's monotonic clock (shared; sleeping really waits).
Clock& SystemClock();

// Test time: stands still until advanced; sleeping advances it at once.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint64_t startMs = 0) : now_(startMs) {}
  uint64_t NowMs() const override { return now_.load(); }
  void SleepMs(uint32_t milliseconds) override { now_.fetch_add(milliseconds); }
  void Advance(uint64_t milliseconds) { now_.fetch_add(milliseconds); }
  void Set(uint64_t ms) { now_.store(ms); }

 private:
  std::atomic<uint64_t> now_;
};

}  // namespace platform
