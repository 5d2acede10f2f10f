#pragma once
// The core's window-thread interface on the Qt event loop: tasks are queued to the application
// object, timers are QTimers owned here. Make it on the thread that runs QApplication::exec().
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/event_loop.h"

namespace kavu {

class QtWindowThread : public QObject, public IWindowThread {
  Q_OBJECT
 public:
  explicit QtWindowThread(QObject* parent = nullptr) : QObject(parent) {}
  void Post(std::function<void()> task) override;
  void StartTimer(int id, int period_ms, std::function<void()> fn) override;
  void StopTimer(int id) override;
  bool TimerRunning(int id) const { return timers_.count(id) != 0; }

 private:
  std::map<int, std::unique_ptr<QTimer>> timers_;
};

}  // namespace kavu
