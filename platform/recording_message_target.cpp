#include "platform/recording_message_target.h"

#include <algorithm>

namespace platform {

void RecordingMessageTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, wParam, lParam});
  }
  posted_.notify_all();
}

std::vector<PostedMessage> RecordingMessageTarget::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::optional<PostedMessage> RecordingMessageTarget::WaitFor(
    uint32_t message, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  std::optional<PostedMessage> found;
  posted_.wait_for(lock, timeout, [&] {
    auto it = std::find_if(messages_.begin(), messages_.end(),
                           [&](const PostedMessage& m) { return m.message == message; });
    if (it != messages_.end()) found = *it;
    return found.has_value();
  });
  return found;
}

bool RecordingMessageTarget::WaitForCount(size_t count,
                                          std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, timeout, [&] { return messages_.size() >= count; });
}

void RecordingMessageTarget::Clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

}  // namespace platform
