#include "results/ui/up_down_control.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

void Press(QWidget& w, QPoint at, QEvent::Type type = QEvent::MouseButtonPress) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

void Click(UpDownControl& w, UpDownControl::Arrow a) {
  const QPoint at = w.ArrowRect(a).center();
  Press(w, at);
  Press(w, at, QEvent::MouseButtonRelease);
}

void Key(QWidget& w, int key) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

struct Recorder {
  std::vector<int> deltas;
  explicit Recorder(UpDownControl& w) {
    QObject::connect(&w, &UpDownControl::DeltaPos, [this](int d) { deltas.push_back(d); });
  }
};

TEST(UpDownControlTest, ArrowsGiveSignedStepsThatWrapOrStop) {
  test::QtTestApp();
  using A = UpDownControl::Arrow;
  UpDownControl v(Qt::Vertical);
  v.resize(17, 25);
  // Up over down, each half of the height.
  EXPECT_EQ(v.ArrowAt({8, 3}), A::kIncrement);
  EXPECT_EQ(v.ArrowAt({8, 22}), A::kDecrement);
  EXPECT_EQ(v.ArrowAt({8, 40}), A::kNone);
  v.SetRange(0, 10);
  v.SetWrap(true);
  Recorder r(v);
  Click(v, A::kIncrement);
  Click(v, A::kDecrement);
  Click(v, A::kDecrement);
  EXPECT_EQ(r.deltas, (std::vector<int>{1, -1, -1}));
  EXPECT_EQ(v.Position(), 10);  // 0 − 1 wrapped round to the top
  Click(v, A::kIncrement);
  EXPECT_EQ(v.Position(), 0);
  // Without wrap the position stops at the end, but every click is still announced.
  v.SetWrap(false);
  Click(v, A::kDecrement);
  Click(v, A::kDecrement);
  EXPECT_EQ(v.Position(), 0);
  EXPECT_EQ(r.deltas.size(), 6u);
  EXPECT_EQ(r.deltas.back(), -1);
  // Keys: up and down on a vertical control, left and right ignored.
  r.deltas.clear();
  Key(v, Qt::Key_Up);
  Key(v, Qt::Key_Left);
  Key(v, Qt::Key_Down);
  EXPECT_EQ(r.deltas, (std::vector<int>{1, -1}));
  // A disabled control does nothing.
  v.setEnabled(false);
  Click(v, A::kIncrement);
  EXPECT_EQ(r.deltas.size(), 2u);

  // Horizontal with the range a fresh control has (100 … 0): right gives −1, left +1.
  UpDownControl h(Qt::Horizontal);
  h.resize(34, 17);
  EXPECT_EQ(h.ArrowAt({4, 8}), A::kDecrement);
  EXPECT_EQ(h.ArrowAt({30, 8}), A::kIncrement);
  Recorder rh(h);
  Click(h, A::kIncrement);
  Click(h, A::kDecrement);
  Key(h, Qt::Key_Right);
  Key(h, Qt::Key_Up);
  Key(h, Qt::Key_Left);
  EXPECT_EQ(rh.deltas, (std::vector<int>{-1, 1, -1, 1}));
}

TEST(UpDownControlTest, HoldingAButtonRepeatsUntilReleased) {
  test::QtTestApp();
  UpDownControl v(Qt::Vertical);
  v.resize(17, 25);
  Recorder r(v);
  const QPoint up = v.ArrowRect(UpDownControl::Arrow::kIncrement).center();
  Press(v, up);
  EXPECT_EQ(r.deltas.size(), 1u);  // the press itself steps at once
  QElapsedTimer t;
  t.start();
  while (r.deltas.size() < 4 && t.elapsed() < 10000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  ASSERT_GE(r.deltas.size(), 4u);
  for (int d : r.deltas) EXPECT_EQ(d, -1);  // the fresh range 100 … 0 counts down
  Press(v, up, QEvent::MouseButtonRelease);
  const size_t held = r.deltas.size();
  t.restart();
  while (t.elapsed() < 3 * UpDownControl::kRepeatDelayMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(r.deltas.size(), held);
}

}  // namespace
}  // namespace kavu
