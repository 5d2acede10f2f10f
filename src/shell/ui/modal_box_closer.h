#pragma once
// ModalBoxCloser: the program must end now (a stop signal), so nobody is there to answer a box.
// While one lives, every modal window of the application is dismissed as Escape would dismiss
// it: those open when it is made at once, and any shown later as soon as its own event loop
// runs. A dialog is rejected (a question then answers Cancel), another modal widget is closed.
// The code that opened a box with exec() carries on when exec() returns; the caller decides
// when to close the main window (see QThread::loopLevel). Window thread only.
#include <QObject>

class QWidget;

namespace kavu {

class ModalBoxCloser : public QObject {
 public:
  explicit ModalBoxCloser(QObject* parent = nullptr);
  ~ModalBoxCloser() override;
  ModalBoxCloser(const ModalBoxCloser&) = delete;
  ModalBoxCloser& operator=(const ModalBoxCloser&) = delete;

  // Boxes dismissed so far.
  int Dismissed() const { return dismissed_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Dismiss(QWidget* box);

  int dismissed_ = 0;
};

}  // namespace kavu
