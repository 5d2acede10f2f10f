#include "shell/ui/qt_notice.h"

#include <QMessageBox>
#include <clocale>

namespace kavu {

void QtNotice::ShowError(int number, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString("ОШИБКА %1").arg(number), QString::fromStdString(text),
                  QMessageBox::Ok, parent_.data());
  box.exec();
}

NoticeAnswer QtNotice::AskYesNoCancel(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_.data());
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes: return NoticeAnswer::kYes;
    case QMessageBox::No: return NoticeAnswer::kNo;
    default: return NoticeAnswer::kCancel;
  }
}

void RestoreCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace kavu
