#include "results/ui/help_key.h"

#include <QCursor>
#include <QKeyEvent>

#include "results/help_links.h"
#include "shell/ui/link_opener.h"

namespace kavu {

HelpKey::HelpKey(QWidget& window, std::string topic) : QObject(&window), window_(window), topic_(std::move(topic)) {
  setObjectName("help_key");
  window.installEventFilter(this);
}

void HelpKey::Open() {
  const QPoint p = window_.mapFromGlobal(QCursor::pos());
  LinkOpener opener(&window_);
  if (open_link) opener.open_url = open_link;
  opener.Open(QString::fromStdString(HelpAddress(HelpBase(), topic_, HelpF1Suffix(1, 0, 0, p.x(), p.y()))));
}

HelpKey* HelpKey::Of(QWidget& window) { return window.findChild<HelpKey*>("help_key", Qt::FindDirectChildrenOnly); }

bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    Open();
    event->accept();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kavu
