// The waterfall ring: width clamping, bins gathered into columns by their largest power, and
// the two-piece drawing that puts the newest line at the top.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRect>

#include "scan/ui/waterfall_image.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

// Limits 0 … 30 dB: 10 → blue, 100 → magenta, 1000 → white, 0 → black.
constexpr double kLo = 0, kHi = 30;
const QRgb kBlack = qRgb(0, 0, 0), kBlue = qRgb(0, 0, 255), kMagenta = qRgb(255, 0, 255),
           kWhite = qRgb(255, 255, 255);

std::vector<float> Flat(float power) { return std::vector<float>(2048, power); }

QImage Drawn(const WaterfallImage& w, int width, int height) {
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(Qt::green);
  QPainter p(&img);
  w.Draw(p, QRect(0, 0, width, height));
  return img;
}

TEST(WaterfallImage, WidthIsClampedAndResizeKeepsThePicture) {
  test::QtTestApp();
  EXPECT_EQ(WaterfallImage(5).Width(), 16);
  EXPECT_EQ(WaterfallImage(3000).Width(), 2048);
  WaterfallImage w(400);
  EXPECT_EQ(w.Width(), 400);
  EXPECT_EQ(w.Image().height(), 512);
  ASSERT_TRUE(w.AddLine(Flat(1000), kLo, kHi));
  w.Resize(800);
  EXPECT_EQ(w.Width(), 800);
  EXPECT_EQ(w.Image().pixel(799, w.CurrentRow()), kWhite);
  EXPECT_EQ(w.Image().pixel(799, 0), kBlack);
  w.Resize(1);
  EXPECT_EQ(w.Width(), 16);
}

TEST(WaterfallImage, ColumnTakesTheLargestPowerOfItsBins) {
  test::QtTestApp();
  WaterfallImage w(16);  // 128 display positions per column
  std::vector<float> line = Flat(0);
  line[1024 + 130] = 1000;  // display position 130: column 1, white
  line[1024 + 131] = 10;    // same column, weaker: must not win
  line[1024 + 300] = 10;    // column 2, blue alone
  line[5] = 100;            // bin 5 = display position 1029: column 8, magenta
  line[1023] = 10;          // the last display position: column 15
  ASSERT_TRUE(w.AddLine(line, kLo, kHi));
  const QImage& img = w.Image();
  const int r = w.CurrentRow();
  EXPECT_EQ(img.pixel(0, r), kBlack);
  EXPECT_EQ(img.pixel(1, r), kWhite);
  EXPECT_EQ(img.pixel(2, r), kBlue);
  EXPECT_EQ(img.pixel(8, r), kMagenta);
  EXPECT_EQ(img.pixel(15, r), kBlue);
  EXPECT_EQ(img.pixel(7, r), kBlack);

  // A line of the wrong size is refused and draws nothing.
  EXPECT_FALSE(w.AddLine(std::vector<float>(100, 1000), kLo, kHi));
  EXPECT_EQ(w.CurrentRow(), r);
  EXPECT_EQ(w.LineCount(), 1);
}

TEST(WaterfallImage, NewestLineAtTheTopInTimeOrder) {
  test::QtTestApp();
  WaterfallImage w(16);
  w.AddLine(Flat(10), kLo, kHi);
  w.AddLine(Flat(100), kLo, kHi);
  w.AddLine(Flat(1000), kLo, kHi);
  EXPECT_EQ(w.CurrentRow(), 509);  // stepping backwards from the last row
  QImage img = Drawn(w, 16, 10);
  EXPECT_EQ(img.pixel(3, 0), kWhite);
  EXPECT_EQ(img.pixel(3, 1), kMagenta);
  EXPECT_EQ(img.pixel(3, 2), kBlue);
  EXPECT_EQ(img.pixel(3, 3), kBlack);  // not written yet
  EXPECT_EQ(img.pixel(3, 9), kBlack);

  // 520 lines in all: the ring has wrapped, both pieces are needed. Line n sits n rows below
  // the newest one; line 5 and older have been overwritten.
  WaterfallImage ring(16);
  for (int n = 0; n < 520; ++n) ring.AddLine(Flat(n == 100 ? 1000 : n == 515 ? 10 : 0), kLo, kHi);
  img = Drawn(ring, 16, 600);
  EXPECT_EQ(img.pixel(0, 519 - 515), kBlue);
  EXPECT_EQ(img.pixel(0, 519 - 100), kWhite);
  EXPECT_EQ(img.pixel(0, 519 - 99), kBlack);
  EXPECT_EQ(img.pixel(0, 519 - 101), kBlack);
  EXPECT_EQ(img.pixel(0, 0), kBlack);
  EXPECT_EQ(img.pixel(0, 511), kBlack);
  EXPECT_EQ(img.pixel(0, 512), qRgb(0, 255, 0));  // below the 512 rows: left as it was
  // Wider area: stretched to its width.
  img = Drawn(ring, 64, 512);
  EXPECT_EQ(img.pixel(63, 519 - 100), kWhite);
}

}  // namespace
}  // namespace kavu
