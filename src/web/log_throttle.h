#pragma once
// LogThrottle: keeps a flood of one kind of log line (refused URLs, bytes the bridge dropped) to
// at most one line per interval, so that a hostile or broken client cannot fill the log and the
// page's console mirror. The first event after a quiet interval gets its own line; the events
// that follow within the interval are only counted, and their count goes out as one summary line
// once the interval has passed: from Flush (the web server calls it on every tick) or from the
// next event, whichever comes first.
//
// Any thread. The summary function is called without the throttle's lock held.
#include <cstdint>
#include <functional>
#include <mutex>

#include "web/web_clock.h"

namespace kavu {

class LogThrottle {
 public:
  // Writes the summary line of `events` held-back events whose amounts (bytes, say) add up to
  // `amount`.
  using Summary = std::function<void(int64_t events, int64_t amount)>;

  // `clock` may be null (the steady clock); it must outlive the throttle.
  explicit LogThrottle(Summary summary, const IWebClock* clock = nullptr, int64_t interval_ms = 1000);
  LogThrottle(const LogThrottle&) = delete;
  LogThrottle& operator=(const LogThrottle&) = delete;

  // Measures with `clock` from now on (null: the steady clock). Call before the events start.
  void SetClock(const IWebClock* clock);
  // Counts one event of `amount`. True when the caller should write this event's own line now;
  // false when the event was counted for a summary (which this call may have written).
  bool Add(int64_t amount = 1);
  // Writes the summary of the held-back events once the interval since the last line has passed.
  void Flush();

 private:
  struct Held {
    int64_t events = 0;
    int64_t amount = 0;
  };
  // The held-back events when their summary is due now (the line time is then now), else none.
  Held TakeDueLocked(int64_t now);

  Summary summary_;
  SteadyWebClock steady_;
  const IWebClock* clock_;
  const int64_t intervalMs_;
  std::mutex mutex_;
  bool anyLine_ = false;
  int64_t lastLineMs_ = 0;
  Held held_;
};

}  // namespace kavu
