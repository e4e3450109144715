#pragma once
// Debug trace: every progress and fault text of the program goes through
// Trace().  The texts reach stderr only when ORLENTA_TRACE is set in the
// environment; tests install a sink to see them.
#include <functional>
#include <string>
#include <string_view>

namespace platform {

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

using TraceSink = std::function<void(std::string_view text)>;

// Installs a sink for the lifetime of the object (one at a time); the sink
// is called from whichever thread traces, under a lock.
class ScopedTraceSink {
 public:
  explicit ScopedTraceSink(TraceSink sink);
  ~ScopedTraceSink();
  ScopedTraceSink(const ScopedTraceSink&) = delete;
  ScopedTraceSink& operator=(const ScopedTraceSink&) = delete;

 private:
  TraceSink previous_;
};

}  // namespace platform
