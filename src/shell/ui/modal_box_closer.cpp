#include "shell/ui/modal_box_closer.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace kavu {

ModalBoxCloser::ModalBoxCloser(QObject* parent) : QObject(parent) {
  qApp->installEventFilter(this);
  // Innermost first: hiding a box takes it off the modal stack, so the next one comes up. A box
  // that refuses to hide ends the loop rather than spinning on it.
  for (QWidget* box = QApplication::activeModalWidget(); box != nullptr;) {
    Dismiss(box);
    QWidget* next = QApplication::activeModalWidget();
    if (next == box) break;
    box = next;
  }
}

ModalBoxCloser::~ModalBoxCloser() { qApp->removeEventFilter(this); }

bool ModalBoxCloser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    // Dismissed from the box's own loop, once it runs: a box hidden while it is being shown
    // would leave exec() to start on a hidden window.
    if (w->isWindow() && w->isModal()) {
      QMetaObject::invokeMethod(this, [this, box = QPointer<QWidget>(w)] {
        if (box) Dismiss(box);
      }, Qt::QueuedConnection);
    }
  }
  return QObject::eventFilter(watched, event);
}

void ModalBoxCloser::Dismiss(QWidget* box) {
  if (!box->isVisible()) return;
  ++dismissed_;
  if (auto* dialog = qobject_cast<QDialog*>(box)) {
    dialog->reject();
  } else {
    box->close();
  }
}

}  // namespace kavu
