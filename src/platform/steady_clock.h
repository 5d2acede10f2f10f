#pragma once
// The program's one monotonic clock: time since an arbitrary fixed point (the machine's boot on
// Linux), never stepped by clock changes. Only differences between two readings mean anything.
// Header-only so that the simulated receiver library, which links no program library, uses the
// same clock as the program that feeds it.
#include <chrono>
#include <cstdint>

namespace kavu {

// Nanoseconds on the monotonic clock.
inline int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Milliseconds on the same clock (the reading divided down, rounded toward zero).
inline int64_t SteadyNowMs() { return SteadyNowNs() / 1'000'000; }

}  // namespace kavu
