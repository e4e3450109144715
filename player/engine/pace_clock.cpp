#include "player/engine/pace_clock.h"

#include <algorithm>

void PaceClock::Restart() {
  base_.reset();
  lastIntervalMs_ = kDefaultIntervalMs;
}

int64_t PaceClock::DueAt(uint64_t recordedMs, uint64_t nowMs) {
  const int64_t recorded = static_cast<int64_t>(recordedMs);
  const int64_t now = static_cast<int64_t>(nowMs);
  if (!base_) {
    base_ = now - recorded;
  } else if (recordedMs > previousMs_ + kLongJumpMs) {
    // Never before now: after a record asked for late, every record after
    // the jump would be due at once.
    base_ = std::max(previousLetGo_ + static_cast<int64_t>(lastIntervalMs_), now) - recorded;
  } else if (recordedMs > previousMs_) {
    lastIntervalMs_ = recordedMs - previousMs_;
  }
  previousMs_ = recordedMs;
  const int64_t due = recorded + *base_;
  previousLetGo_ = std::max(due, now);
  return due;
}
