#pragma once
// An auto-reset event: Signal() wakes one waiter (or the next one to wait), and a successful
// Wait() resets the event. Signals given while nobody waits are not lost: they coalesce into one.
//
// Signal() takes no lock and makes at most one system call, so it is safe from a receiver
// library's streaming thread. Wait() may be called by one thread at a time.
#include <atomic>
#include <cstdint>

namespace kavu {

class AutoResetEvent {
 public:
  AutoResetEvent() = default;
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  // Sets the event; wakes a waiter. Safe from any thread.
  void Signal();
  // Waits up to `timeout_ms` milliseconds (negative: without limit) for the event; true when it
  // was set (it is reset again), false on time-out.
  bool Wait(int timeout_ms);
  // Clears a pending signal without waiting.
  void Reset();

 private:
  std::atomic<uint32_t> state_{0};  // 1 = signalled
};

}  // namespace kavu
