#pragma once
// Readiness of many descriptors on one thread (epoll, level-triggered), with a wake-up that any
// thread may trigger. Each registered descriptor carries a caller's 64-bit tag.
#include <sys/epoll.h>

#include <cstdint>

namespace kavu {

class EpollSet {
 public:
  static constexpr uint64_t kWakeTag = ~uint64_t{0};

  EpollSet();
  ~EpollSet();
  EpollSet(const EpollSet&) = delete;
  EpollSet& operator=(const EpollSet&) = delete;

  bool Ok() const { return epoll_ >= 0 && wake_ >= 0; }
  // `events`: EPOLLIN, EPOLLOUT, ... (0 keeps the descriptor registered but quiet, except for
  // errors and hang-ups). False with errno set when the system refuses.
  bool Add(int fd, uint32_t events, uint64_t tag);
  bool Modify(int fd, uint32_t events, uint64_t tag);
  void Remove(int fd);
  // Waits up to `timeout_ms` (-1 for ever); returns the number of events put into `out`
  // (0 on time-out or interruption). A wake-up is reported as an event tagged kWakeTag and is
  // consumed by the wait.
  int Wait(epoll_event* out, int max, int timeout_ms);
  // Makes the current or next Wait return. Any thread.
  void Wake();

 private:
  int epoll_ = -1;
  int wake_ = -1;
};

}  // namespace kavu
