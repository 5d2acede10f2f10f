#include "bench_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace kavu::bench {

std::string RunBenchInChild(const std::string& exe, const std::string& name) {
  std::fflush(stdout);  // nothing buffered here may come out after the child's lines
  std::fflush(stderr);
  const pid_t pid = ::fork();
  if (pid < 0) return std::string("could not start a process: ") + std::strerror(errno);
  if (pid == 0) {
    const char* argv[] = {exe.c_str(), "--here", name.c_str(), nullptr};
    ::execv(exe.c_str(), const_cast<char* const*>(argv));
    std::fprintf(stderr, "kavusdraa-bench: could not start %s: %s\n", exe.c_str(), std::strerror(errno));
    std::_Exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::string("waiting for it failed: ") + std::strerror(errno);
  }
  if (WIFEXITED(status)) {
    if (WEXITSTATUS(status) == 0) return {};
    if (WEXITSTATUS(status) == 127) return "could not start " + exe;
    return "exit status " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "ended with wait status " + std::to_string(status);
}

long PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace kavu::bench
