#include "shell/ui/modal_box_closer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

#include "shell/error_box.h"
#include "shell/ui/qt_notice.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

// The program's own boxes, nested as a start-up error box and a question asked from within it
// would be: made while both are open, the closer dismisses both; a box opened later, while it
// lives, is dismissed too. Every exec() returns, the question with Cancel.
TEST(ModalBoxCloser, DismissesTheBoxesOpenAndThoseOpenedWhileItLives) {
  test::QtTestApp();
  QWidget window;
  window.show();
  QtNotice notice(&window);
  std::unique_ptr<ModalBoxCloser> closer;
  std::vector<std::string> returned;
  NoticeAnswer answer = NoticeAnswer::kYes;
  // A guard against a hang: should a box stay open for 20 s, it is ended and the test fails.
  bool hung = false;
  QTimer guard;
  guard.setInterval(20000);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    hung = true;
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(0);
  });
  guard.start();
  // Once the outer box's loop runs, the question opens in it; once the question's runs, the
  // closer is made.
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(0, [&] {
      ASSERT_NE(QApplication::activeModalWidget(), nullptr);
      closer = std::make_unique<ModalBoxCloser>();
    });
    answer = notice.AskYesNoCancel("Вопрос", "Сохранить?");
    returned.push_back("question");
  });
  notice.ShowError(1, "Http сервер не запущен");
  returned.push_back("error box");
  ASSERT_NE(closer, nullptr);
  EXPECT_EQ(closer->Dismissed(), 2);
  // Opened after: dismissed from its own loop.
  notice.ShowError(2, "later");
  returned.push_back("later box");
  EXPECT_EQ(closer->Dismissed(), 3);
  EXPECT_FALSE(hung);
  EXPECT_EQ(returned, (std::vector<std::string>{"question", "error box", "later box"}));
  EXPECT_EQ(answer, NoticeAnswer::kCancel);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(window.isVisible());  // only boxes are dismissed
  // Gone: boxes stay open again (this one until the test's own timer answers it).
  closer.reset();
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    qobject_cast<QDialog*>(box)->done(0);
  });
  notice.ShowError(3, "kept open");
  EXPECT_FALSE(hung);
}

}  // namespace
}  // namespace kavu
