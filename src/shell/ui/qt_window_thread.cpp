#include "shell/ui/qt_window_thread.h"

#include <QCoreApplication>

namespace kavu {

void QtWindowThread::Post(std::function<void()> task) {
  // Queued to this object's thread (the window thread), after everything posted before.
  QMetaObject::invokeMethod(this, [t = std::move(task)] { t(); }, Qt::QueuedConnection);
}

void QtWindowThread::StartTimer(int id, int period_ms, std::function<void()> fn) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(period_ms);
  QObject::connect(timer.get(), &QTimer::timeout, this, [f = std::move(fn)] { f(); });
  timer->start();
  timers_[id] = std::move(timer);
}

void QtWindowThread::StopTimer(int id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  // The timer may be stopping itself from its own timeout: delete it later.
  it->second.release()->deleteLater();
  timers_.erase(it);
}

}  // namespace kavu
