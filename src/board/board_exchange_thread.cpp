#include "board/board_exchange_thread.h"

namespace kavu {

BoardExchangeThread::~BoardExchangeThread() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool BoardExchangeThread::Run(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (running_ || stop_) return false;
    job_ = std::move(job);
    running_ = true;
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  }
  changed_.notify_all();
  return true;
}

void BoardExchangeThread::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !running_; });
}

bool BoardExchangeThread::Running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

bool BoardExchangeThread::OnThread() const {
  std::lock_guard lock(mutex_);
  return thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
}

void BoardExchangeThread::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || job_; });
    if (!job_) return;  // stopping with nothing to do
    std::function<void()> job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
    job();
    lock.lock();
    running_ = false;
    changed_.notify_all();
    if (stop_) return;
  }
}

}  // namespace kavu
