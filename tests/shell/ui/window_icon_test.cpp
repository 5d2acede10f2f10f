// The painted window icon: transparent outside its rounded square, the chart's face inside, the
// sweep and the resonance mark where the picture has them, at every size offered.
#include "shell/ui/window_icon.h"

#include <gtest/gtest.h>

#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

TEST(WindowIcon, PaintsTheChartAtEverySize) {
  test::QtTestApp();
  const QImage big = WindowIconImage(128);
  ASSERT_EQ(big.size(), QSize(128, 128));
  EXPECT_EQ(qAlpha(big.pixel(0, 0)), 0);                          // outside the rounded square
  EXPECT_EQ(QColor(big.pixel(10, 64)), QColor(0x1d, 0x3b, 0x53));  // the square, left of the disc
  EXPECT_EQ(QColor(big.pixel(40, 30)), QColor(0xf4, 0xf7, 0xfb));  // the chart's face
  EXPECT_EQ(QColor(big.pixel(82, 64)), QColor(0xd7, 0x26, 0x3d));  // the resonance mark
  const QColor sweep(big.pixel(27, 86));                           // the sweep's start
  EXPECT_GT(sweep.red(), 200);
  EXPECT_LT(sweep.blue(), 120);

  const QIcon icon = WindowIcon();
  EXPECT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes().size(), 6);
  EXPECT_EQ(WindowIconImage(2).width(), 8);  // never smaller than 8 pixels
}

}  // namespace
}  // namespace kavu
