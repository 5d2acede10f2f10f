#include "platform/event_loop.h"

namespace kavu {

void EventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void EventLoop::StartTimer(int id, int period_ms, std::function<void()> fn) {
  const auto period = std::chrono::milliseconds(period_ms < 1 ? 1 : period_ms);
  std::lock_guard<std::mutex> lock(mutex_);
  timers_[id] = Timer{period, Clock::now() + period, std::move(fn)};
}

void EventLoop::StopTimer(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase(id);
}

void EventLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

EventLoop::Clock::time_point EventLoop::NextDue() {
  auto next = Clock::time_point::max();
  for (auto& [id, t] : timers_) next = std::min(next, t.due);
  return next;
}

bool EventLoop::RunOne() {
  std::function<void()> fn;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tasks_.empty()) {
      fn = std::move(tasks_.front());
      tasks_.pop_front();
    } else {
      const auto now = Clock::now();
      for (auto& [id, t] : timers_) {
        if (t.due <= now) {
          t.due = now + t.period;
          fn = t.fn;  // a copy: the timer may be stopped or replaced from inside fn
          break;
        }
      }
    }
  }
  if (!fn) return false;
  fn();
  return true;
}

void EventLoop::RunPending() {
  while (RunOne()) {
  }
}

void EventLoop::Run() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = false;
  }
  for (;;) {
    RunPending();
    std::unique_lock<std::mutex> lock(mutex_);
    if (quit_) return;
    if (tasks_.empty()) wake_.wait_until(lock, NextDue());
    if (quit_) return;
  }
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    while (RunOne()) {
      if (done()) return true;
    }
    if (done()) return true;
    if (Clock::now() >= end) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    if (tasks_.empty()) wake_.wait_until(lock, std::min(end, NextDue()));
  }
}

}  // namespace kavu
