#include "platform/epoll_set.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace kavu {

EpollSet::EpollSet() {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (epoll_ >= 0 && wake_ >= 0) Add(wake_, EPOLLIN, kWakeTag);
}

EpollSet::~EpollSet() {
  if (wake_ >= 0) ::close(wake_);
  if (epoll_ >= 0) ::close(epoll_);
}

bool EpollSet::Add(int fd, uint32_t events, uint64_t tag) {
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = tag;
  return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) == 0;
}

bool EpollSet::Modify(int fd, uint32_t events, uint64_t tag) {
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = tag;
  return ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev) == 0;
}

void EpollSet::Remove(int fd) { ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr); }

int EpollSet::Wait(epoll_event* out, int max, int timeout_ms) {
  const int n = ::epoll_wait(epoll_, out, max, timeout_ms);
  if (n < 0) return 0;  // EINTR: the caller's loop simply waits again
  for (int i = 0; i < n; ++i) {
    if (out[i].data.u64 != kWakeTag) continue;
    uint64_t count = 0;
    while (::read(wake_, &count, sizeof count) > 0) {
    }
  }
  return n;
}

void EpollSet::Wake() {
  const uint64_t one = 1;
  // A full counter already means "wake": nothing to do on EAGAIN.
  [[maybe_unused]] const ssize_t w = ::write(wake_, &one, sizeof one);
}

}  // namespace kavu
