#pragma once
// BoardExchangeThread: the thread on which the board protocol carries out an exchange that must
// not hold up the window thread (a batch upload, a run and its reply). One job at a time; the job
// owns the serial port while it runs. The thread starts with the first job and is joined by
// the destructor (after the job running then has returned).
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kavu {

class BoardExchangeThread {
 public:
  BoardExchangeThread() = default;
  ~BoardExchangeThread();
  BoardExchangeThread(const BoardExchangeThread&) = delete;
  BoardExchangeThread& operator=(const BoardExchangeThread&) = delete;

  // Runs `job` on the thread. False (nothing done) while an earlier job still runs.
  bool Run(std::function<void()> job);
  // Blocks until no job runs.
  void WaitIdle();
  bool Running() const;
  // True when called from inside a job.
  bool OnThread() const;

 private:
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool running_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace kavu
