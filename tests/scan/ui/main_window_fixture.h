#pragma once
// The main window on the virtual bench, offscreen: an analyzer session with the bench (emulated
// board as port 901, simulated receiver, a 50 Ω antenna) and small stores on the Qt event loop,
// handed to the window; its error boxes and information boxes recorded. Buttons are pressed with mouse events, as a
// user presses them.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scan/ui/odlg_spektr.h"
#include "session/analyzer_session.h"
#include "shell/error_box.h"
#include "shell/ui/qt_window_thread.h"
#include "sim/virtual_bench.h"

namespace kavu::test {

class MainWindowBench : public ::testing::Test {
 protected:
  void TearDown() override;

  // Makes the session (the bench started, then `prepare`: settings written then go to the
  // bench's settings file; the web server as those settings say), makes the window on it and
  // runs its start-up. False (with a failure) when the bench's port or
  // receiver did not open.
  bool Start(const std::function<void()>& prepare = {});
  // Runs the Qt event loop until `done` or `timeout`; the last value of `done`.
  static bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs the event loop for `ms` milliseconds.
  static void Spin(int ms);
  // A left click in the middle of `w`, with `modifiers` held.
  static void Click(QWidget* w, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  static void PressKey(QWidget* w, int key);
  template <class T>
  T* Find(const char* name) {
    T* w = window_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Until the engine is idle again and the scan's end reported (after its file was written);
  // false on time-out.
  bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(40));
  // The scan files written into the bench's results folder.
  std::vector<std::string> SavedFiles() const;

  // The session's bench (from the start of `prepare` on).
  sim::VirtualBench& Bench() { return *bench_; }

  QtWindowThread thread_;
  RecordingNotice notice_;
  std::unique_ptr<AnalyzerSession> session_;
  std::unique_ptr<ODlgSpektr> window_;
  sim::VirtualBench* bench_ = nullptr;
  std::vector<std::string> informs_;  // caption + "\n" + text of each information box
  std::string rx_ = "rtlsdr";  // the bench's receiver (rx=NAME), set before Start
  std::string results_;
};

}  // namespace kavu::test
