#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

class SteadyClock : public Clock {
 public:
  uint64_t NowMs() const override {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void SleepMs(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace platform
