#pragma once
// Scheduling priority of threads whose lateness is heard (sound output).
namespace platform {

// Asks for a higher priority for the calling thread.  Best effort: without
// the right to raise it the thread runs on as it was.  True when granted.
bool RaiseCurrentThreadPriority();

}  // namespace platform
