#include "platform/suspendable_thread.h"

#include <system_error>

namespace platform {

SuspendableThread::~SuspendableThread() {
  if (thread_.joinable()) thread_.join();
}

bool SuspendableThread::Create(std::function<void()> body) {
  if (thread_.joinable()) return false;
  {
    std::lock_guard lock(mutex_);
    suspended_ = true;
    done_ = false;
  }
  try {
    thread_ = std::thread([this, body = std::move(body)] {
      {
        Lock lock(mutex_);
        resumed_.wait(lock, [&] { return !suspended_; });
      }
      body();
      std::lock_guard lock(mutex_);
      done_ = true;
      finished_.notify_all();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void SuspendableThread::ResumeLocked(const Lock&) {
  if (!suspended_) return;
  suspended_ = false;
  resumed_.notify_all();
}

void SuspendableThread::Resume() {
  Lock lock(mutex_);
  ResumeLocked(lock);
}

void SuspendableThread::SuspendSelf(Lock& lock) {
  suspended_ = true;
  resumed_.wait(lock, [&] { return !suspended_; });
}

bool SuspendableThread::IsSuspended(const Lock&) const { return suspended_; }

bool SuspendableThread::JoinFor(std::chrono::milliseconds bound) {
  if (!thread_.joinable()) return true;
  {
    Lock lock(mutex_);
    if (!finished_.wait_for(lock, bound, [&] { return done_; })) return false;
  }
  thread_.join();
  return true;
}

void SuspendableThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace platform
