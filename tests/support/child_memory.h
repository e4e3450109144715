#pragma once
// Runs work in a child process and reports its peak resident memory, so
// that what the test process already holds (other tests, the test
// framework) does not count.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct ChildRun {
  int exitCode = -1;      // -1 when the child did not exit normally
  uint64_t peakKiB = 0;   // ru_maxrss of the child
  std::string output;     // what the child wrote to its standard output
};

// `work` runs in a forked child; its return value is the exit code.
ChildRun RunInChild(const std::function<int()>& work);
// Runs a program with its arguments (no shell in between).
ChildRun RunProgram(const std::vector<std::string>& argv);

}  // namespace testing_support
