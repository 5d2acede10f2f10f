#pragma once
// User-visible failures of scans, generators, receivers and the board go through one notice
// interface: a message box in the desktop program, standard error in the command-line tool, a
// recorded list in tests. Only the window thread shows errors; the sample thread posts them.
#include <mutex>
#include <string>
#include <vector>

namespace kavu {

class INotice {
 public:
  virtual ~INotice() = default;
  // Shows one error; `number` is the running error number of the run (the box is titled
  // "ОШИБКА <number>").
  virtual void ShowError(int number, const std::string& text) = 0;
};

// Writes "ОШИБКА <n>: text" to standard error.
class StderrNotice : public INotice {
 public:
  void ShowError(int number, const std::string& text) override;
};

// Keeps every error shown, for tests.
class RecordingNotice : public INotice {
 public:
  void ShowError(int number, const std::string& text) override;
  std::vector<std::string> Texts() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
};

// The error box: a red log line "ОШИБКА: " + text, then the notice with a running number.
class ErrorBox {
 public:
  explicit ErrorBox(INotice& notice) : notice_(&notice) {}
  void Show(const std::string& text);
  int Count() const { return number_; }

 private:
  INotice* notice_;
  int number_ = 0;
};

}  // namespace kavu
