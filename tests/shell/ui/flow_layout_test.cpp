// The wrapping row of controls: where its items go for a given width, the height it asks for,
// the share a stretched item takes, and the size a window gets on a small screen.
#include <gtest/gtest.h>

#include <QScreen>
#include <memory>

#include "shell/ui/flow_layout.h"
#include "shell/ui/qt_test_app.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

QWidget* Box(QWidget* parent, int w, int h) {
  auto* b = new QWidget(parent);
  b->setFixedSize(w, h);
  return b;
}

TEST(FlowLayout, WrapsLikeWordsAndAsksForTheLinesItNeeds) {
  test::QtTestApp();
  QWidget row;
  auto* flow = new FlowLayout(&row, 10);
  QWidget* boxes[4];
  for (QWidget*& b : boxes) {
    b = Box(&row, 100, 20);
    flow->addWidget(b, 0);
  }
  EXPECT_EQ(flow->sizeHint(), QSize(430, 20));    // one line
  EXPECT_EQ(flow->minimumSize(), QSize(100, 20));  // the widest item
  EXPECT_EQ(flow->heightForWidth(430), 20);
  EXPECT_EQ(flow->heightForWidth(429), 50);   // three, then one
  EXPECT_EQ(flow->heightForWidth(250), 50);   // two and two
  EXPECT_EQ(flow->heightForWidth(100), 110);  // one a line
  flow->setGeometry(QRect(5, 7, 250, 50));
  EXPECT_EQ(boxes[0]->geometry(), QRect(5, 7, 100, 20));
  EXPECT_EQ(boxes[1]->geometry(), QRect(115, 7, 100, 20));
  EXPECT_EQ(boxes[2]->geometry(), QRect(5, 37, 100, 20));
  EXPECT_EQ(boxes[3]->geometry(), QRect(115, 37, 100, 20));
  // A hidden item takes no room: the other three fit 320 pixels.
  boxes[1]->hide();
  EXPECT_EQ(flow->heightForWidth(320), 20);
}

TEST(FlowLayout, StretchedItemTakesTheRestOfItsLineAndItemsAreCentred) {
  test::QtTestApp();
  QWidget row;
  auto* flow = new FlowLayout(&row, 10);
  QWidget* tall = Box(&row, 100, 40);
  auto* wide = new QWidget(&row);
  wide->setMinimumSize(50, 20);
  wide->setMaximumSize(1000, 20);
  wide->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  QWidget* last = Box(&row, 300, 20);
  flow->addWidget(tall, 0);
  flow->addWidget(wide, 1);
  flow->addWidget(last, 0);
  EXPECT_EQ(flow->expandingDirections(), Qt::Horizontal);
  flow->setGeometry(QRect(0, 0, 400, 70));
  EXPECT_EQ(tall->geometry(), QRect(0, 0, 100, 40));
  // 400 − 100 − 10: the rest of the first line; the 20-pixel item sits in the middle of 40.
  EXPECT_EQ(wide->geometry(), QRect(110, 10, 290, 20));
  EXPECT_EQ(last->geometry(), QRect(0, 50, 300, 20));
  // Never wider than its maximum.
  wide->setMaximumSize(150, 20);
  flow->setGeometry(QRect(0, 0, 400, 70));
  EXPECT_EQ(wide->geometry().width(), 150);
}

TEST(ScreenFit, WindowsOpenWithinNineTenthsOfTheScreenButNotBelowTheirMinimum) {
  test::QtTestApp();
  QWidget w;
  const QSize avail = w.screen()->availableGeometry().size();
  EXPECT_EQ(SizeWithinScreen(w, QSize(100, 80)), QSize(100, 80));
  EXPECT_EQ(SizeWithinScreen(w, QSize(5000, 80)), QSize(avail.width() * 9 / 10, 80));
  EXPECT_EQ(SizeWithinScreen(w, QSize(100, 5000)), QSize(100, avail.height() * 9 / 10));
  w.setMinimumSize(avail.width(), 10);
  EXPECT_EQ(SizeWithinScreen(w, QSize(5000, 5000)), QSize(avail.width(), avail.height() * 9 / 10));
  ResizeWithinScreen(w, QSize(5000, 60));
  EXPECT_EQ(w.size(), QSize(avail.width(), 60));
}

}  // namespace
}  // namespace kavu
