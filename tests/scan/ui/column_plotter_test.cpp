// The column plotter: one vertical stroke per pixel column plus the joints between columns.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "scan/ui/column_plotter.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

TEST(ColumnPlotter, StrokesOfColumnsAndJoints) {
  ColumnPlotter plot;
  plot.Begin();
  for (auto [x, y] : {std::pair{0, 10}, {0, 20}, {0, 15}, {1, 5}, {2, 7}, {2, 7}}) plot.Add(x, y);
  plot.Finish();
  const std::vector<QLine> want = {QLine(0, 10, 0, 20), QLine(0, 15, 1, 5), QLine(1, 5, 2, 7)};
  EXPECT_EQ(plot.Lines(), want);

  // A new curve starts clean; a curve of one point is one dot.
  plot.Begin();
  plot.Add(4, 9);
  plot.Finish();
  EXPECT_EQ(plot.Lines(), std::vector<QLine>{QLine(4, 9, 4, 9)});
  plot.Begin();
  plot.Finish();
  EXPECT_TRUE(plot.Lines().empty());

  // An x going back still gets a joint rather than being merged into the wrong column.
  plot.Begin();
  plot.Add(5, 1);
  plot.Add(3, 2);
  plot.Finish();
  EXPECT_EQ(plot.Lines(), std::vector<QLine>{QLine(5, 1, 3, 2)});
}

TEST(ColumnPlotter, ManyPointsCostAboutTwoStrokesPerColumn) {
  ColumnPlotter plot;
  plot.Begin();
  for (int j = 0; j < 2048; ++j) plot.Add(j * 500 / 2048, (j * 37) % 101);
  plot.Finish();
  EXPECT_LE(plot.Lines().size(), 2u * 500 - 1);
  EXPECT_GE(plot.Lines().size(), 500u);
  // Every column's vertical spans its points' full height.
  const auto& l = plot.Lines();
  const bool column_zero = std::any_of(l.begin(), l.end(), [](const QLine& s) {
    return s.x1() == 0 && s.x2() == 0 && s.y1() == 0 && s.y2() == 74;
  });
  EXPECT_TRUE(column_zero);  // j = 0 … 4 of column 0: rows 0, 37, 74, 10, 47

  // Drawn, the strokes mark the column's whole span and nothing beside it.
  test::QtTestApp();
  QImage img(500, 101, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setPen(Qt::black);
  plot.Draw(p);
  p.end();
  for (int y = 0; y <= 74; ++y) EXPECT_EQ(img.pixel(0, y), qRgb(0, 0, 0)) << y;
}

}  // namespace
}  // namespace kavu
