#pragma once
// The back end of a service, installed once per process: the program puts
// its own in at start-up, a test puts in one for its own lifetime.  Any
// thread may install or read it; a reader keeps the back end it read alive
// while it uses it, even if another one is installed meanwhile.
#include <memory>
#include <mutex>
#include <utility>

namespace platform {

template <class Backend>
class BackendSlot {
 public:
  // Null when none is installed.
  static std::shared_ptr<Backend> Current() {
    std::lock_guard lock(mutex_);
    return installed_;
  }

  // Installs a back end (null: none) and returns the one it replaces.
  static std::shared_ptr<Backend> Set(std::shared_ptr<Backend> backend) {
    std::lock_guard lock(mutex_);
    std::swap(installed_, backend);
    return backend;
  }

 private:
  // Both are constant-initialised, so the slot is usable before main.
  inline static std::mutex mutex_;
  inline static std::shared_ptr<Backend> installed_;
};

// Installs a back end for the lifetime of the object, then puts the one it
// replaced back.
template <class Backend>
class ScopedBackend {
 public:
  explicit ScopedBackend(std::shared_ptr<Backend> backend)
      : previous_(BackendSlot<Backend>::Set(std::move(backend))) {}
  ~ScopedBackend() { BackendSlot<Backend>::Set(std::move(previous_)); }
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;

 private:
  std::shared_ptr<Backend> previous_;
};

}  // namespace platform
