#pragma once
// The window thread's event loop, as the core sees it: post a task, start a timer. The desktop
// program implements IWindowThread on the Qt event loop; the command-line tool and the tests use
// EventLoop below. The core never includes Qt.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace kavu {

class IWindowThread {
 public:
  virtual ~IWindowThread() = default;
  // Runs `task` on the window thread after every task posted before it. Safe from any thread.
  virtual void Post(std::function<void()> task) = 0;
  // Calls `fn` on the window thread every `period_ms` milliseconds until StopTimer(id).
  // Starting an id that runs already replaces it. Window thread only.
  virtual void StartTimer(int id, int period_ms, std::function<void()> fn) = 0;
  virtual void StopTimer(int id) = 0;
};

// A small single-threaded loop: the thread that calls Run*() is the window thread.
class EventLoop : public IWindowThread {
 public:
  void Post(std::function<void()> task) override;
  void StartTimer(int id, int period_ms, std::function<void()> fn) override;
  void StopTimer(int id) override;

  // Runs tasks and timers until Quit() is called (from any thread or from a task).
  void Run();
  // Runs until `done()` is true (checked after every task and timer) or the time runs out;
  // returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs whatever is due now, without waiting.
  void RunPending();
  void Quit();

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::function<void()> fn;
  };
  // Runs one due task or timer; false when none was due.
  bool RunOne();
  Clock::time_point NextDue();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::map<int, Timer> timers_;  // window thread only
  bool quit_ = false;
};

}  // namespace kavu
