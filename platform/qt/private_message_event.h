#pragma once
// A private message as a Qt event.  The event type is the message number
// itself (0x1211, 0x8CB9, ...), registered with Qt so that no other event
// type can take it.
#include <QEvent>
#include <cstdint>

#include "platform/message_target.h"

namespace platform {

class PrivateMessageEvent : public QEvent {
 public:
  PrivateMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam);
  const PostedMessage& Message() const { return message_; }

 private:
  PostedMessage message_;
};

// Registers the number as a Qt event type; returns it as the type.  Aborts
// when the number lies outside Qt's user range or was taken by another type.
QEvent::Type PrivateMessageType(uint32_t message);

}  // namespace platform
