#pragma once
// The millisecond clock the web server measures deadlines with. Tests inject their own.
#include <chrono>
#include <cstdint>

namespace kavu {

class IWebClock {
 public:
  virtual ~IWebClock() = default;
  // Monotonic milliseconds; only differences matter.
  virtual int64_t NowMs() const = 0;
};

class SteadyWebClock : public IWebClock {
 public:
  int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace kavu
