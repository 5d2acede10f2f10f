#pragma once
// StopSignalNotifier: SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, the session manager
// logging out, a closed terminal) delivered as a Qt signal on the thread that made it, so the
// program can end the way its close box ends it instead of dying with a scan half done.
//
// While one lives the three signals are caught by a handler that only writes the signal's number
// into a socket pair (safe in a signal handler); the window thread reads it and emits Received.
// The first signal also puts the default action back, so a second Ctrl-C ends a program whose
// orderly end hangs. The destructor restores the actions that were in force before.
// One per process; make it on the thread that runs the event loop.
#include <QObject>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <memory>

namespace kavu {

class StopSignalNotifier : public QObject {
  Q_OBJECT

 public:
  explicit StopSignalNotifier(QObject* parent = nullptr);
  ~StopSignalNotifier() override;
  StopSignalNotifier(const StopSignalNotifier&) = delete;
  StopSignalNotifier& operator=(const StopSignalNotifier&) = delete;

  // False when the socket pair could not be made (the signals keep their default action then).
  bool Installed() const { return installed_; }

 signals:
  // The signal's number (SIGINT, SIGTERM or SIGHUP), once per delivered signal.
  void Received(int signal);

 private:
  void ReadPending();

  bool installed_ = false;
  int fds_[2] = {-1, -1};
  std::array<struct sigaction, 3> previous_{};
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kavu
