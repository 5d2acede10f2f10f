#include "platform/tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace kavu {
namespace {

constexpr size_t kToolOutputMax = 64 * 1024;

bool IsExecutableFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A descriptor that becomes readable when process `pid` ends, or -1 on kernels without one.
int ProcessEndFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Reads what is there without blocking; false at the end of the pipe.
bool DrainPipe(int fd, std::string& out) {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      if (out.size() < kToolOutputMax) out.append(buf, std::min(static_cast<size_t>(n), kToolOutputMax - out.size()));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

// Collects output until the tool ends (or its pipe closes, without a process descriptor) or the
// deadline passes; true when it ended in time.
bool CollectUntilEnd(pid_t pid, int out_fd, int timeout_ms, std::string& out) {
  const int end_fd = ProcessEndFd(pid);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool pipe_open = true, ended = false;
  while (!ended && (pipe_open || end_fd >= 0)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd fds[2] = {{pipe_open ? out_fd : -1, POLLIN, 0}, {end_fd, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (pipe_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) pipe_open = DrainPipe(out_fd, out);
    if (end_fd >= 0 && (fds[1].revents & POLLIN)) ended = true;
    if (end_fd < 0 && !pipe_open) ended = true;
  }
  if (ended && pipe_open) DrainPipe(out_fd, out);  // what it wrote just before it ended
  if (end_fd >= 0) close(end_fd);
  return ended;
}

}  // namespace

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  return env;
}

std::string EnvValue(const std::vector<std::string>& env, const std::string& name) {
  const std::string prefix = name + "=";
  for (const std::string& e : env) {
    if (e.compare(0, prefix.size(), prefix) == 0) return e.substr(prefix.size());
  }
  return "";
}

std::string FindTool(const std::string& tool, const std::vector<std::string>& env) {
  if (tool.find('/') != std::string::npos) return IsExecutableFile(tool) ? tool : "";
  const std::string path = EnvValue(env, "PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string dir = path.substr(start, end - start);
    if (!dir.empty()) {
      const std::string candidate = dir + "/" + tool;
      if (IsExecutableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return "";
}

ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, const std::vector<std::string>& env,
                int timeout_ms) {
  ToolRun r;
  const std::string path = FindTool(tool, env);
  if (path.empty()) {
    r.error = "программа " + tool + " не найдена (PATH=" + EnvValue(env, "PATH") + ")";
    return r;
  }
  r.found = true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    r.error = "не удалось запустить " + tool + ": " + std::strerror(errno);
    return r;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    r.error = "не удалось запустить " + path + ": " + std::strerror(spawned);
    return r;
  }
  r.started = true;
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  r.timed_out = !CollectUntilEnd(pid, fds[0], timeout_ms, r.output);
  // The tool (when it overran) and whatever it left running in its group: nothing outlives the
  // call. The ended tool is not reaped yet, so the group's number cannot have been reused.
  kill(-pid, SIGKILL);
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!r.timed_out && WIFEXITED(status)) r.exit_status = WEXITSTATUS(status);
  if (r.timed_out) {
    r.error = tool + " не завершилась за " + std::to_string(timeout_ms / 1000) + " с и остановлена";
  } else if (r.exit_status != 0) {
    r.error = tool + " завершилась с ошибкой (код " + std::to_string(r.exit_status) + ")";
    if (!r.output.empty()) r.error += ": " + r.output;
  }
  return r;
}

}  // namespace kavu
