#pragma once
// The notice interface as a message box: "ОШИБКА <n>" with the error icon, modal to `parent`.
#include <QWidget>
#include <QPointer>

#include "shell/error_box.h"

namespace kavu {

class QtNotice : public INotice {
 public:
  explicit QtNotice(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void ShowError(int number, const std::string& text) override;
  // A modal question with Yes / No / Cancel and the error icon; closing the box is Cancel.
  NoticeAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;

 private:
  QPointer<QWidget> parent_;
};

// Sets the numeric locale back to "C". Call right after the application object is made: Qt
// switches the C library to the user's locale, where "2.5" may read as 2 (ru_RU).
void RestoreCNumericLocale();

}  // namespace kavu
