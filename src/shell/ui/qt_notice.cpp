#include "shell/ui/qt_notice.h"

#include <QMessageBox>
#include <clocale>

namespace kavu {

void QtNotice::ShowError(int number, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString("ОШИБКА %1").arg(number), QString::fromStdString(text),
                  QMessageBox::Ok, parent_.data());
  box.exec();
}

void RestoreCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace kavu
