#include "shell/ui/link_opener.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#include "shell/log_console.h"

namespace kavu {

LinkOpener::LinkOpener(QWidget* parent) {
  open_url = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  ask = [parent](const QString& caption, const QString& text) {
    return QMessageBox::critical(parent, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) ==
           QMessageBox::Yes;
  };
  report = [parent](const QString& caption, const QString& text) { QMessageBox::critical(parent, caption, text); };
}

bool LinkOpener::Open(const QString& url) {
  Log() << "Открываю ссылку: " << url.toStdString() << "\n";
  if (!url.isEmpty() && open_url(url)) return true;
  const QString text = "Ошибка, не удалось открыть ссылку в браузере!\n" + url + "\nСкопировать эту ссылку в буфер обмена? \n";
  if (!ask("ОШИБКА ОТКРЫТИЯ ССЫЛКИ В БРАУЗЕРЕ", text)) return false;
  QClipboard* clip = QGuiApplication::clipboard();
  if (clip) clip->setText(url);
  if (!clip || clip->text() != url) report("ОШИБКА", "Не удалось скопировать ссылку в буфер обмена!");
  return false;
}

}  // namespace kavu
