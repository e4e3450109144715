#include "tests/support/child_memory.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

namespace testing_support {

ChildRun RunInChild(const std::function<int()>& work) {
  ChildRun run;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return run;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return run;
  }
  if (pid == 0) {
    ::close(pipeFds[0]);
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[1]);
    const int code = work();
    std::fflush(nullptr);
    ::_exit(code);
  }
  ::close(pipeFds[1]);
  std::array<char, 4096> chunk;
  ssize_t n;
  while ((n = ::read(pipeFds[0], chunk.data(), chunk.size())) > 0) run.output.append(chunk.data(), static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.peakKiB = static_cast<uint64_t>(usage.ru_maxrss);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

ChildRun RunProgram(const std::vector<std::string>& argv) {
  return RunInChild([&] {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    return 127;
  });
}

}  // namespace testing_support
