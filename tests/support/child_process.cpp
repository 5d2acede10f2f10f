#include "support/child_process.h"
#include "support/run_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kavu::test {
namespace {

// Appends what `fd` holds now; false at its end (or an error).
bool Drain(int fd, std::string& sink) {
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      sink.append(buf, static_cast<size_t>(n));
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    ExecWith(argv, env);
  }
  close(out[1]);
  close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
  if (pid_ < 0) return;
  // The child's end is seen on a descriptor: a grandchild holding the pipes cannot hide it.
  pid_fd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  fcntl(err_fd_, F_SETFL, O_NONBLOCK);
  reader_ = std::thread([this] { Read(); });
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !WaitExit(0)) {
    kill(pid_, SIGKILL);
    WaitExit(30);
  }
  if (reader_.joinable()) reader_.join();
  for (const int fd : {out_fd_, err_fd_, pid_fd_}) {
    if (fd >= 0) close(fd);
  }
}

void ChildProcess::Read() {
  bool out_open = true, err_open = true;
  for (;;) {
    pollfd fds[3] = {{out_open ? out_fd_ : -1, POLLIN, 0}, {err_open ? err_fd_ : -1, POLLIN, 0}, {pid_fd_, POLLIN, 0}};
    // Without a process descriptor (an old kernel) the pipes' end stands for the child's.
    if (pid_fd_ < 0 && !out_open && !err_open) break;
    if (poll(fds, 3, -1) < 0 && errno != EINTR) break;
    std::lock_guard lock(mutex_);
    if (out_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) out_open = Drain(out_fd_, out_);
    if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) err_open = Drain(err_fd_, err_);
    changed_.notify_all();
    if (fds[2].revents & POLLIN) {
      // Ended: what it wrote before is in the pipes already.
      if (out_open) Drain(out_fd_, out_);
      if (err_open) Drain(err_fd_, err_);
      break;
    }
  }
  int status = 0;
  const pid_t got = waitpid(pid_, &status, 0);
  std::lock_guard lock(mutex_);
  status_ = got != pid_ ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  changed_.notify_all();
}

bool ChildProcess::WaitFor(const std::function<bool(const std::string&, const std::string&)>& done, double timeout_s) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::duration<double>(timeout_s),
                           [&] { return done(out_, err_) || status_.has_value(); }) &&
         done(out_, err_);
}

bool ChildProcess::WaitForText(const std::string& text, double timeout_s) {
  return WaitFor([&](const std::string& out, const std::string& err) {
    return out.find(text) != std::string::npos || err.find(text) != std::string::npos;
  }, timeout_s);
}

bool ChildProcess::Signal(int signal) {
  std::lock_guard lock(mutex_);
  return pid_ > 0 && !status_ && kill(pid_, signal) == 0;
}

std::optional<int> ChildProcess::WaitExit(double timeout_s) {
  if (pid_ <= 0) return -1;
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::duration<double>(timeout_s), [&] { return status_.has_value(); });
  return status_;
}

std::string ChildProcess::Out() const {
  std::lock_guard lock(mutex_);
  return out_;
}

std::string ChildProcess::Err() const {
  std::lock_guard lock(mutex_);
  return err_;
}

}  // namespace kavu::test
