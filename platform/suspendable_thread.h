#pragma once
// A worker thread that is created suspended, suspends only itself, and is
// resumed from any thread.  Its controller decides under the thread's own
// lock both what the worker should do and whether to resume it, and the
// worker decides under the same lock whether to suspend, so that no request
// made while the worker finishes a pass can be lost.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class SuspendableThread {
 public:
  using Lock = std::unique_lock<std::mutex>;

  SuspendableThread() = default;
  ~SuspendableThread();
  SuspendableThread(const SuspendableThread&) = delete;
  SuspendableThread& operator=(const SuspendableThread&) = delete;

  // Creates the thread suspended; `body` runs once it is first resumed and
  // the thread ends when `body` returns.  False when no thread could be made.
  bool Create(std::function<void()> body);
  bool Exists() const { return thread_.joinable(); }

  std::mutex& Mutex() const { return mutex_; }
  // Resumes a suspended thread; a running thread carries on unaffected.
  // The caller holds the lock.
  void ResumeLocked(const Lock& lock);
  void Resume();
  // From the thread itself: suspends until resumed.  Called with the lock
  // held; returns with it held again.
  void SuspendSelf(Lock& lock);
  bool IsSuspended(const Lock& lock) const;

  // Waits until `body` has returned, at most `bound`; joins then.  False
  // (and no join) when the bound passed first.
  bool JoinFor(std::chrono::milliseconds bound);
  void Join();

 private:
  mutable std::mutex mutex_;
  std::condition_variable resumed_;
  std::condition_variable finished_;
  bool suspended_ = true;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace platform
