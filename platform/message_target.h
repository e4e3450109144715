#pragma once
// Private messages: a worker thread reports to a window by posting
// (message, wParam, lParam); the receiver handles them in posting order on
// its own thread.  Post never blocks and may be called from any thread.
#include <cstdint>
#include <memory>

namespace platform {

struct PostedMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

using MessageTargetPtr = std::shared_ptr<MessageTarget>;

}  // namespace platform
