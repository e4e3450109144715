#pragma once
// A private message as a Qt event.  The event type is the message number
// itself (0x1211, 0x8CB9, ...), registered with Qt so that no other event
// type can take it.  The sender tag says which message target posted it
// (0 unless the target was given one), so a receiver can tell reports of a
// worker it no longer listens to from those of the current one.
#include <QEvent>
#include <atomic>
#include <cstdint>

#include "platform/message_target.h"

namespace platform {

class PrivateMessageEvent : public QEvent {
 public:
  PrivateMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam, uint64_t sender = 0);
  const PostedMessage& Message() const {
    published_.load(std::memory_order_acquire);
    return message_;
  }
  uint64_t Sender() const {
    published_.load(std::memory_order_acquire);
    return sender_;
  }

 private:
  PostedMessage message_;
  uint64_t sender_;
  // Events are made on the posting thread and read on the receiver's.  Qt's
  // queue orders the two in code ThreadSanitizer cannot see; the release
  // here and the acquires above make the hand-over visible to it.
  std::atomic<bool> published_{false};
};

// Registers the number as a Qt event type; returns it as the type.  Aborts
// when the number lies outside Qt's user range or was taken by another type.
QEvent::Type PrivateMessageType(uint32_t message);

}  // namespace platform
