#pragma once
// Opens a link in the desktop's browser. When that fails, asks whether to copy the link to the
// clipboard ("ОШИБКА ОТКРЫТИЯ ССЫЛКИ В БРАУЗЕРЕ"), and reports a failed copy.
#include <QString>
#include <QWidget>
#include <functional>

namespace kavu {

struct LinkOpener {
  // The desktop's URL handler; replaced in tests.
  std::function<bool(const QString& url)> open_url;
  // Yes/No/Cancel question; true for yes. Replaced in tests.
  std::function<bool(const QString& caption, const QString& text)> ask;
  std::function<void(const QString& caption, const QString& text)> report;

  explicit LinkOpener(QWidget* parent = nullptr);
  // Logs the address, opens it; returns true when the browser took it.
  bool Open(const QString& url);
};

}  // namespace kavu
