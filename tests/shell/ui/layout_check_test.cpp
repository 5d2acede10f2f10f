// The small-screen layout check itself: windows built with known faults (a control placed past
// the edge, two controls on top of each other, a scroll area that cannot scroll, a button too
// narrow for its text) are each reported, and a sound window with a scroll area is not.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "shell/ui/layout_check.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

bool Mentions(const std::vector<std::string>& problems, const std::string& what) {
  return std::any_of(problems.begin(), problems.end(),
                     [&](const std::string& p) { return p.find(what) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string s;
  for (const std::string& p : problems) s += p + "\n";
  return s;
}

// A column of labelled boxes, taller than 300 pixels.
QWidget* TallColumn(QWidget* parent) {
  auto* content = new QWidget(parent);
  auto* v = new QVBoxLayout(content);
  for (int i = 0; i < 20; ++i) v->addWidget(new QCheckBox(QString("Ячейка %1").arg(i), content));
  return content;
}

TEST(LayoutCheck, FindsControlsOutOfReachOverlappingOrSqueezed) {
  test::QtTestApp();
  // Placed by hand: one button past the right edge, two on top of each other, one too narrow.
  auto window = std::make_unique<QWidget>();
  auto* far = new QPushButton("Далеко", window.get());
  far->setGeometry(500, 10, 100, 30);
  auto* a = new QPushButton("Первая", window.get());
  a->setGeometry(10, 10, 120, 30);
  auto* b = new QPushButton("Вторая", window.get());
  b->setGeometry(100, 20, 120, 30);
  auto* narrow = new QPushButton("Очень длинная надпись", window.get());
  narrow->setGeometry(10, 100, 40, 30);
  auto problems = test::SmallScreenProblems(*window, QSize(400, 300));
  EXPECT_TRUE(Mentions(problems, "\"Далеко\" (QPushButton) at 500,10 100x30 lies outside"));
  EXPECT_TRUE(Mentions(problems, "\"Первая\" (QPushButton) 10,10 120x30 overlaps \"Вторая\""));
  EXPECT_TRUE(Mentions(problems, "\"Очень длинная надпись\" (QPushButton) is squeezed"));
  EXPECT_FALSE(Mentions(problems, "\"Вторая\" (QPushButton) is squeezed"));

  // A layout whose minimum is larger than the screen: the window cannot shrink to it.
  auto wide = std::make_unique<QWidget>();
  auto* row = new QHBoxLayout(wide.get());
  for (int i = 0; i < 12; ++i) row->addWidget(new QPushButton(QString("Кнопка номер %1").arg(i), wide.get()));
  problems = test::SmallScreenProblems(*wide, QSize(400, 300));
  ASSERT_FALSE(problems.empty());
  EXPECT_TRUE(Mentions(problems, "the window stays")) << Joined(problems);
}

TEST(LayoutCheck, ScrollAreaCountsOnlyWhenItScrollsToTheControl) {
  test::QtTestApp();
  auto make = [](Qt::ScrollBarPolicy vertical) {
    auto window = std::make_unique<QWidget>();
    auto* v = new QVBoxLayout(window.get());
    auto* area = new QScrollArea(window.get());
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(vertical);
    area->setWidget(TallColumn(area));
    v->addWidget(area, 1);
    v->addWidget(new QLabel("Под списком", window.get()));
    return window;
  };
  auto sound = make(Qt::ScrollBarAsNeeded);
  auto problems = test::SmallScreenProblems(*sound, QSize(300, 200));
  EXPECT_TRUE(problems.empty()) << Joined(problems);
  // 20 boxes, the label and the scroll area itself.
  EXPECT_EQ(test::VisibleControls(*sound).size(), 22u);

  auto stuck = make(Qt::ScrollBarAlwaysOff);
  problems = test::SmallScreenProblems(*stuck, QSize(300, 200));
  EXPECT_TRUE(Mentions(problems, "\"Ячейка 19\" (QCheckBox) sits in a scroll area that cannot scroll"));
  EXPECT_FALSE(Mentions(problems, "\"Ячейка 0\" (QCheckBox) lies outside"));
}

TEST(LayoutCheck, PartsOfComboBoxesAndHiddenControlsAreNotControls) {
  test::QtTestApp();
  auto window = std::make_unique<QWidget>();
  auto* v = new QVBoxLayout(window.get());
  auto* combo = new QComboBox(window.get());
  combo->setEditable(true);  // its line edit lies inside it, which is no overlap
  v->addWidget(combo);
  auto* hidden = new QPushButton("Скрыта", window.get());
  v->addWidget(hidden);
  hidden->hide();
  auto problems = test::SmallScreenProblems(*window, QSize(300, 200));
  EXPECT_TRUE(problems.empty()) << Joined(problems);
  const auto controls = test::VisibleControls(*window);
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_EQ(controls.front(), combo);
}

}  // namespace
}  // namespace kavu
