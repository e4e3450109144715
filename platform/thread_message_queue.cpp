#include "platform/thread_message_queue.h"

namespace platform {

void ThreadMessageQueue::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    entries_.push_back({{message, wParam, lParam}, false});
  }
  posted_.notify_one();
}

void ThreadMessageQueue::PostQuit() {
  {
    std::lock_guard lock(mutex_);
    entries_.push_back({{}, true});
  }
  posted_.notify_one();
}

std::optional<PostedMessage> ThreadMessageQueue::Get() {
  std::unique_lock lock(mutex_);
  posted_.wait(lock, [&] { return !entries_.empty(); });
  const Entry entry = entries_.front();
  entries_.pop_front();
  if (entry.quit) return std::nullopt;
  return entry.message;
}

}  // namespace platform
