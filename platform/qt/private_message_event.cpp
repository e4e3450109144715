#include "platform/qt/private_message_event.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

namespace platform {

QEvent::Type PrivateMessageType(uint32_t message) {
  static std::mutex mutex;
  static std::set<uint32_t> registered;
  std::lock_guard lock(mutex);
  if (registered.count(message)) return static_cast<QEvent::Type>(message);
  if (message < QEvent::User || message > QEvent::MaxUser ||
      QEvent::registerEventType(static_cast<int>(message)) != static_cast<int>(message)) {
    std::fprintf(stderr, "private message 0x%x cannot be a Qt event type\n", message);
    std::abort();
  }
  registered.insert(message);
  return static_cast<QEvent::Type>(message);
}

PrivateMessageEvent::PrivateMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                         uint64_t sender)
    : QEvent(PrivateMessageType(message)), message_{message, wParam, lParam}, sender_(sender) {
  published_.store(true, std::memory_order_release);
}

}  // namespace platform
