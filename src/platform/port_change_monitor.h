#pragma once
// Notice of serial devices appearing and disappearing. IPortChangeSource is what the port
// selector listens to; UdevPortMonitor is the real one (udev "tty" add/remove events), and tests
// drive their own source.
#include <atomic>
#include <functional>
#include <thread>

namespace kavu {

class IPortChangeSource {
 public:
  virtual ~IPortChangeSource() = default;
  // Calls `on_change` (from the source's own thread) whenever a serial device was added or
  // removed, until Stop. Returns false when notices cannot be had; the caller goes on without.
  virtual bool Start(std::function<void()> on_change) = 0;
  // No call of `on_change` begins after Stop returns. Stopping a stopped source does nothing.
  virtual void Stop() = 0;
};

class UdevPortMonitor : public IPortChangeSource {
 public:
  UdevPortMonitor() = default;
  ~UdevPortMonitor() override;
  UdevPortMonitor(const UdevPortMonitor&) = delete;
  UdevPortMonitor& operator=(const UdevPortMonitor&) = delete;

  bool Start(std::function<void()> on_change) override;
  void Stop() override;

 private:
  void Run(std::function<void()> on_change);

  std::thread thread_;
  int wake_fd_ = -1;
  void* udev_ = nullptr;
  void* monitor_ = nullptr;
};

}  // namespace kavu
