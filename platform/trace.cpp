#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

TraceSink& CurrentSink() {
  static TraceSink sink;
  return sink;
}

bool TraceToStderr() {
  static const bool enabled = std::getenv("ORLENTA_TRACE") != nullptr;
  return enabled;
}

}  // namespace

void Trace(const char* format, ...) {
  char small[512];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) {
    va_end(again);
    return;
  }
  std::string text;
  if (static_cast<size_t>(needed) < sizeof small) {
    text.assign(small, static_cast<size_t>(needed));
  } else {
    std::vector<char> large(static_cast<size_t>(needed) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    text.assign(large.data(), static_cast<size_t>(needed));
  }
  va_end(again);

  std::lock_guard lock(SinkMutex());
  if (CurrentSink()) CurrentSink()(text);
  if (TraceToStderr()) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
}

ScopedTraceSink::ScopedTraceSink(TraceSink sink) {
  std::lock_guard lock(SinkMutex());
  previous_ = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
}

ScopedTraceSink::~ScopedTraceSink() {
  std::lock_guard lock(SinkMutex());
  CurrentSink() = std::move(previous_);
}

}  // namespace platform
