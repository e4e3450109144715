#pragma once
// A message target that keeps what was posted, for tests and for engines
// that run without a window.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/message_target.h"

namespace platform {

class RecordingMessageTarget : public MessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  std::vector<PostedMessage> Messages() const;
  // Waits until a message with this number has been posted (counting from
  // the first post) and returns the first such one; nullopt on timeout.
  std::optional<PostedMessage> WaitFor(uint32_t message,
                                       std::chrono::milliseconds timeout) const;
  // Waits until at least `count` messages of any number were posted.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable posted_;
  std::vector<PostedMessage> messages_;
};

}  // namespace platform
