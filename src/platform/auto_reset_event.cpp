#include "platform/auto_reset_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

namespace kavu {
namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

uint32_t* Word(std::atomic<uint32_t>& a) { return reinterpret_cast<uint32_t*>(&a); }

void FutexWake(std::atomic<uint32_t>& a) {
  syscall(SYS_futex, Word(a), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// Sleeps while the word still holds `expected`, at most `ts` (nullptr: no limit).
void FutexWait(std::atomic<uint32_t>& a, uint32_t expected, const timespec* ts) {
  syscall(SYS_futex, Word(a), FUTEX_WAIT_PRIVATE, expected, ts, nullptr, 0);
}

}  // namespace

void AutoResetEvent::Signal() {
  if (state_.exchange(1, std::memory_order_acq_rel) == 0) FutexWake(state_);
}

void AutoResetEvent::Reset() { state_.store(0, std::memory_order_release); }

bool AutoResetEvent::Wait(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    uint32_t one = 1;
    if (state_.compare_exchange_strong(one, 0, std::memory_order_acq_rel)) return true;
    if (timeout_ms < 0) {
      FutexWait(state_, 0, nullptr);
      continue;
    }
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    FutexWait(state_, 0, &ts);
  }
}

}  // namespace kavu
