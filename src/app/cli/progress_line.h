#pragma once
// One status line kept at the bottom of a terminal while other text scrolls above it.
//
// When standard error is a terminal, the object takes standard error over (a pipe read by its
// own thread): every line written there, the log included, is printed above the status line,
// which is redrawn after it. Finish (or the destructor) gives standard error back and clears
// the status line. When standard error is not a terminal nothing changes and Show does nothing.
#include <mutex>
#include <string>
#include <thread>

namespace kavu::cli {

class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool Active() const { return terminal_ >= 0; }
  // Replaces the status line (one line; cut to the terminal's width by the terminal itself).
  void Show(const std::string& text);
  // Waits for everything written to standard error so far, gives it back, clears the line.
  void Finish();

 private:
  void Pump();
  void WriteRaw(const std::string& bytes);

  int terminal_ = -1;   // the terminal, as standard error was
  int pipe_read_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::string status_;   // the status line shown
  std::string partial_;  // text written without its line end yet
};

// "точек 12 из 101, прошло 3 с, осталось ~24 с": points measured of planned, elapsed seconds and
// the time left at the rate so far (nothing while no point is measured).
std::string ProgressText(int measured, int planned, double elapsed_s);

}  // namespace kavu::cli
