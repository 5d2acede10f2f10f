#pragma once
// User-visible failures of scans, generators, receivers and the board go through one notice
// interface: a message box in the desktop program, standard error in the command-line tool, a
// recorded list in tests. Only the window thread shows errors; the sample thread posts them.
#include <mutex>
#include <string>
#include <vector>

namespace kavu {

enum class NoticeAnswer { kYes, kNo, kCancel };

class INotice {
 public:
  virtual ~INotice() = default;
  // Shows one error; `number` is the running error number of the run (the box is titled
  // "ОШИБКА <number>").
  virtual void ShowError(int number, const std::string& text) = 0;
  // Asks a question with the buttons Yes / No / Cancel and the error icon. A notice without a
  // user to answer (the default) answers Cancel.
  virtual NoticeAnswer AskYesNoCancel(const std::string& caption, const std::string& text) {
    (void)caption;
    (void)text;
    return NoticeAnswer::kCancel;
  }
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
  // Questions are recorded (caption + "\n" + text) and answered with `answer`.
  NoticeAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  void SetAnswer(NoticeAnswer answer);
  std::vector<std::string> Questions() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<std::string> questions_;
  NoticeAnswer answer_ = NoticeAnswer::kCancel;
};

// The error box: a red log line "ОШИБКА: " + text, then the notice with a running number.
class ErrorBox {
 public:
  explicit ErrorBox(INotice& notice) : notice_(&notice) {}
  void Show(const std::string& text);
  int Count() const { return number_; }
  INotice& Notice() { return *notice_; }

 private:
  INotice* notice_;
  int number_ = 0;
};

}  // namespace kavu
