#include "shell/error_box.h"

#include <cstdio>

#include "shell/log_console.h"

namespace kavu {

void StderrNotice::ShowError(int number, const std::string& text) {
  std::fprintf(stderr, "ОШИБКА %d: %s\n", number, text.c_str());
}

void RecordingNotice::ShowError(int, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_.push_back(text);
}

std::vector<std::string> RecordingNotice::Texts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

NoticeAnswer RecordingNotice::AskYesNoCancel(const std::string& caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  questions_.push_back(caption + "\n" + text);
  return answer_;
}

void RecordingNotice::SetAnswer(NoticeAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = answer;
}

std::vector<std::string> RecordingNotice::Questions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return questions_;
}

void ErrorBox::Show(const std::string& text) {
  Log() << LogColour(kColourError) << "ОШИБКА: " << text << "\n" << LogColour(kColourNormal);
  notice_->ShowError(++number_, text);
}

}  // namespace kavu
