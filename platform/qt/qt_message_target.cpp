#include "platform/qt/qt_message_target.h"

#include <QCoreApplication>
#include <mutex>

#include "platform/qt/private_message_event.h"

namespace platform {

// The receiver pointer is cleared under the lock by the receiver's
// destroyed() signal, so a post can never reach a dead object.
struct QtMessageTarget::Link {
  std::mutex mutex;
  QObject* receiver = nullptr;
  QMetaObject::Connection connection;
};

std::shared_ptr<QtMessageTarget> QtMessageTarget::Create(QObject* receiver, uint64_t sender) {
  auto link = std::make_shared<Link>();
  link->receiver = receiver;
  std::weak_ptr<Link> weak = link;
  link->connection = QObject::connect(
      receiver, &QObject::destroyed, receiver,
      [weak] {
        if (auto l = weak.lock()) {
          std::lock_guard lock(l->mutex);
          l->receiver = nullptr;
        }
      },
      Qt::DirectConnection);
  return std::shared_ptr<QtMessageTarget>(new QtMessageTarget(std::move(link), sender));
}

QtMessageTarget::QtMessageTarget(std::shared_ptr<Link> link, uint64_t sender)
    : link_(std::move(link)), sender_(sender) {}

QtMessageTarget::~QtMessageTarget() {
  std::lock_guard lock(link_->mutex);
  if (link_->receiver) QObject::disconnect(link_->connection);
}

void QtMessageTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard lock(link_->mutex);
  if (!link_->receiver) return;
  QCoreApplication::postEvent(link_->receiver, new PrivateMessageEvent(message, wParam, lParam, sender_));
}

}  // namespace platform
