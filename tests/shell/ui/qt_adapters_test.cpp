#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <vector>
#include <thread>
#include <QThread>
#include <QAbstractButton>
#include <QMessageBox>

#include "shell/ui/qt_notice.h"
#include "shell/ui/qt_test_app.h"
#include "shell/ui/qt_window_thread.h"

namespace kavu {
namespace {

double ScanReal(const char* text) {
  double v = 0;
  std::sscanf(text, "%lf", &v);
  return v;
}

TEST(QtLocaleTest, NumbersReadWithAPointAfterTheApplicationIsMade) {
  QApplication& app = test::QtTestApp();
  (void)app;
  const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
  if (std::strncmp(numeric, "ru_RU", 5) != 0) GTEST_SKIP() << "ru_RU.UTF-8 is not installed";
  // What the application object leaves behind: the user's locale, where the point is not one.
  EXPECT_EQ(ScanReal("2.5"), 2.0);
  RestoreCNumericLocale();
  EXPECT_EQ(ScanReal("2.5"), 2.5);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", 0.25);
  EXPECT_STREQ(buf, "0.25");
}

TEST(QtWindowThreadTest, TasksRunInOrderAndTimersStop) {
  test::QtTestApp();
  QtWindowThread wt;
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) wt.Post([&seen, i] { seen.push_back(i); });
  int ticks = 0;
  wt.StartTimer(7, 5, [&] {
    if (++ticks == 3) wt.StopTimer(7);
  });
  EXPECT_TRUE(wt.TimerRunning(7));
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 2000 && (seen.size() < 5 || wt.TimerRunning(7))) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(wt.TimerRunning(7));
  // A task posted from another thread runs on the window thread.
  bool on_main = false;
  std::thread t([&] { wt.Post([&] { on_main = QThread::currentThread() == QCoreApplication::instance()->thread(); }); });
  t.join();
  for (int i = 0; i < 20 && !on_main; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(on_main);
}

TEST(QtNoticeTest, ShowsTheNumberedErrorBox) {
  test::QtTestApp();
  QtNotice notice;
  QString title, text;
  // Close the box as soon as it is up, keeping what it said.
  QTimer::singleShot(50, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        title = box->windowTitle(), text = box->text();
        box->accept();
      }
    }
  });
  notice.ShowError(3, "Нет ответа от платы");
  EXPECT_EQ(title, "ОШИБКА 3");
  EXPECT_EQ(text, "Нет ответа от платы");
}

// The generator set-up asks the user which device type was fitted; each button is its answer and
// closing the box is Cancel.
TEST(QtNoticeTest, AsksYesNoCancelAndReturnsTheButtonPressed) {
  test::QtTestApp();
  QtNotice notice;
  const struct {
    QMessageBox::StandardButton press;  // NoButton: the box closed by its title bar
    NoticeAnswer answer;
  } cases[] = {{QMessageBox::Yes, NoticeAnswer::kYes},
               {QMessageBox::No, NoticeAnswer::kNo},
               {QMessageBox::NoButton, NoticeAnswer::kCancel}};
  for (const auto& c : cases) {
    QString title;
    QTimer::singleShot(50, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible()) continue;
        title = box->windowTitle();
        if (c.press == QMessageBox::NoButton) {
          box->close();
        } else {
          box->button(c.press)->click();
        }
      }
    });
    EXPECT_EQ(notice.AskYesNoCancel("Тип чипа", "Установлен Rfm23?"), c.answer);
    EXPECT_EQ(title, "Тип чипа");
  }
}

}  // namespace
}  // namespace kavu
