#pragma once
// A program run as a child process that a test talks to while it runs (a server, a window): its
// standard output and error are read on a thread of their own, so the child never blocks on a
// full pipe while the test waits for something else, and the test waits for what it prints,
// signals it and waits for its end, each wait bounded. Standard input is /dev/null.
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavu::test {

class ChildProcess {
 public:
  // Starts `argv[0]` with the arguments and the extra environment entries "NAME=VALUE".
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);
  // Kills a child still running (SIGKILL) and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Waits up to `timeout_s` until `done(out, err)` holds for what it printed so far; false when
  // the time passed or the child ended first.
  bool WaitFor(const std::function<bool(const std::string& out, const std::string& err)>& done, double timeout_s);
  // Waits until standard output or standard error holds `text`.
  bool WaitForText(const std::string& text, double timeout_s);
  // Sends `signal`; false when the child is gone.
  bool Signal(int signal);
  // Waits up to `timeout_s` for the child to end: its exit status, or 128 + the signal that
  // killed it; nothing when it still runs.
  std::optional<int> WaitExit(double timeout_s);
  std::string Out() const;
  std::string Err() const;

 private:
  void Read();

  pid_t pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1, pid_fd_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_, err_;
  std::optional<int> status_;
  std::thread reader_;
};

}  // namespace kavu::test
