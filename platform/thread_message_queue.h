#pragma once
// The message queue of a worker thread: anyone posts, the thread takes the
// messages in posting order and ends its loop at the quit request, after
// every message posted before it.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/message_target.h"

namespace platform {

class ThreadMessageQueue : public MessageTarget {
 public:
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void PostQuit();
  // Waits for the next message; nullopt once the quit request is reached.
  std::optional<PostedMessage> Get();

 private:
  struct Entry {
    PostedMessage message;
    bool quit = false;
  };

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Entry> entries_;
};

}  // namespace platform
