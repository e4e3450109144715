#pragma once
// Posts private messages to a QObject as PrivateMessageEvents.  Posts made
// after the receiver was destroyed are dropped.
#include <QObject>
#include <memory>

#include "platform/message_target.h"

namespace platform {

class QtMessageTarget : public MessageTarget {
 public:
  // The receiver lives on the user-interface thread; create the target there.
  // Every event posted carries `sender` as its sender tag.
  static std::shared_ptr<QtMessageTarget> Create(QObject* receiver, uint64_t sender = 0);
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  ~QtMessageTarget() override;

 private:
  struct Link;
  QtMessageTarget(std::shared_ptr<Link> link, uint64_t sender);
  std::shared_ptr<Link> link_;
  const uint64_t sender_;
};

}  // namespace platform
