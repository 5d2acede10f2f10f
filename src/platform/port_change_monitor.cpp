#include "platform/port_change_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>

namespace kavu {

UdevPortMonitor::~UdevPortMonitor() { Stop(); }

bool UdevPortMonitor::Start(std::function<void()> on_change) {
  Stop();
  udev* u = udev_new();
  if (!u) return false;
  udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
  if (!m || udev_monitor_filter_add_match_subsystem_devtype(m, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(m) < 0) {
    if (m) udev_monitor_unref(m);
    udev_unref(u);
    return false;
  }
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    udev_monitor_unref(m);
    udev_unref(u);
    return false;
  }
  udev_ = u;
  monitor_ = m;
  thread_ = std::thread([this, fn = std::move(on_change)] { Run(fn); });
  return true;
}

void UdevPortMonitor::Stop() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(wake_fd_, &one, sizeof one);
    thread_.join();
  }
  if (wake_fd_ >= 0) ::close(wake_fd_);
  wake_fd_ = -1;
  if (monitor_) udev_monitor_unref(static_cast<udev_monitor*>(monitor_));
  if (udev_) udev_unref(static_cast<udev*>(udev_));
  monitor_ = nullptr;
  udev_ = nullptr;
}

void UdevPortMonitor::Run(std::function<void()> on_change) {
  auto* m = static_cast<udev_monitor*>(monitor_);
  pollfd fds[2] = {{udev_monitor_get_fd(m), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  for (;;) {
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    bool changed = false;
    while (udev_device* dev = udev_monitor_receive_device(m)) {
      const char* action = udev_device_get_action(dev);
      if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
        changed = true;
      }
      udev_device_unref(dev);
    }
    if (changed) on_change();
  }
}

}  // namespace kavu
