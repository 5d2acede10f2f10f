#include "web/log_throttle.h"

namespace kavu {

LogThrottle::LogThrottle(Summary summary, const IWebClock* clock, int64_t interval_ms)
    : summary_(std::move(summary)), clock_(clock ? clock : &steady_), intervalMs_(interval_ms) {}

void LogThrottle::SetClock(const IWebClock* clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock ? clock : &steady_;
}

LogThrottle::Held LogThrottle::TakeDueLocked(int64_t now) {
  if (held_.events == 0 || now - lastLineMs_ < intervalMs_) return {};
  const Held due = held_;
  held_ = {};
  lastLineMs_ = now;
  return due;
}

bool LogThrottle::Add(int64_t amount) {
  Held due;
  {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_->NowMs();
    if (held_.events == 0 && (!anyLine_ || now - lastLineMs_ >= intervalMs_)) {
      anyLine_ = true;
      lastLineMs_ = now;
      return true;
    }
    // Counted, so that the line written now (if the interval is over) includes this event too.
    ++held_.events;
    held_.amount += amount;
    due = TakeDueLocked(now);
  }
  if (due.events > 0 && summary_) summary_(due.events, due.amount);
  return false;
}

void LogThrottle::Flush() {
  Held due;
  {
    std::lock_guard lock(mutex_);
    due = TakeDueLocked(clock_->NowMs());
  }
  if (due.events > 0 && summary_) summary_(due.events, due.amount);
}

}  // namespace kavu
