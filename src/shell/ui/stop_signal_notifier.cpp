#include "shell/ui/stop_signal_notifier.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kavu {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};
std::atomic<int> g_write_fd{-1};

void OnStopSignal(int signal) {
  const int saved_errno = errno;
  // Later signals get their default action: a second Ctrl-C ends the program at once.
  for (const int s : kStopSignals) ::signal(s, SIG_DFL);
  const unsigned char number = static_cast<unsigned char>(signal);
  const int fd = g_write_fd.load();
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(fd, &number, 1);
  }
  errno = saved_errno;
}

}  // namespace

StopSignalNotifier::StopSignalNotifier(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) return;
  g_write_fd.store(fds_[0]);
  notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadPending(); });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kStopSignals.size(); ++i) ::sigaction(kStopSignals[i], &action, &previous_[i]);
  installed_ = true;
}

StopSignalNotifier::~StopSignalNotifier() {
  if (installed_) {
    for (size_t i = 0; i < kStopSignals.size(); ++i) ::sigaction(kStopSignals[i], &previous_[i], nullptr);
  }
  g_write_fd.store(-1);
  notifier_.reset();
  for (int& fd : fds_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void StopSignalNotifier::ReadPending() {
  unsigned char numbers[16];
  for (;;) {
    const ssize_t n = ::read(fds_[1], numbers, sizeof numbers);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) emit Received(numbers[i]);
  }
}

}  // namespace kavu
