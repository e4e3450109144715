#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

bool RaiseCurrentThreadPriority() {
  // On Linux the nice value belongs to the thread, not the process.  A
  // moderate step: enough to be served before ordinary work, far from the
  // real-time classes that could starve the machine.
  constexpr int kNice = -5;
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, thread, kNice) == 0;
}

}  // namespace platform
