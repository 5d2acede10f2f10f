// The graph window's colour bands, function curves and band lines, checked on its pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <array>
#include <cmath>

#include "results/paint/graph_painter.h"
#include "results/ui/cdlg_graph.h"
#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

// One pane holding any lines given.
class TestList : public OGrList {
 public:
  std::vector<OGrListItem*> lines;
  int32_t GetGraphCount() const override { return 1; }
  TGrDia& GetAxis(int32_t) override { return axis; }
  int32_t GetLineCount(int32_t) const override { return static_cast<int32_t>(lines.size()); }
  OGrListItem& GetLine(int32_t, int32_t l) override { return *lines[static_cast<size_t>(l)]; }
  TGrDia axis;
};

// y = sin(x) on [0, 10].
class Sine : public OGrListItem {
 public:
  int GetKind() const override { return 1; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override { return 0; }
  int32_t GetPoint(int32_t, double&, double&) const override { return kGrInvalid; }
  void GetFunctionXRange(double& x0, double& x1) const override { x0 = 0, x1 = 10; }
  double GetFunctionValue(double x) const override { return std::sin(x); }
};

// A flat band y = 0 ± 0.25 over [2, 8], kind 0.
class FlatBand : public OGrListItem {
 public:
  int GetKind() const override { return 0; }
  int HasBand() const override { return 1; }
  int32_t GetCount() const override { return 7; }
  int32_t GetPoint(int32_t i, double& x, double& y) const override {
    x = 2 + i, y = 0;
    return kGrNoMarker;
  }
  double GetHalfWidth(int32_t) const override { return 0.25; }
};

struct Fixture {
  QApplication& app = test::QtTestApp();
  TestList list;
  CDlgGraph graph;
  Fixture() { graph.resize(700, 400); }
  const QImage& Draw() {
    graph.SetList(&list);
    return graph.Rendered();
  }
  // Pixel of (x, y) in pane 0.
  QPoint At(double x, double y) {
    const PixelRect& pane = graph.Layout().panes[0];
    const AxisMapping h = AxisMapping::Horizontal(graph.Horizontal(), graph.PlotLeft(), graph.PlotRight());
    const AxisMapping v = AxisMapping::Vertical(list.axis, pane.top, pane.bottom);
    return {static_cast<int>(std::lround(h.ToPixel(x))), static_cast<int>(std::lround(v.ToPixel(y)))};
  }
};

// A dark pixel (a black line) within `reach` rows of (x, y).
bool DarkNear(const QImage& img, int x, int y, int reach) {
  for (int dy = -reach; dy <= reach; ++dy) {
    if (img.valid(x, y + dy) && qGray(img.pixel(x, y + dy)) < 90) return true;
  }
  return false;
}

bool NearColour(QRgb a, QRgb b, int tol = 40) {
  return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
         std::abs(qBlue(a) - qBlue(b)) <= tol;
}

TEST(GraphExtrasTest, FunctionCurveIsDrawnThroughItsValuesInItsColour) {
  Fixture f;
  Sine sine;
  f.list.lines = {&sine};
  const QImage& img = f.Draw();
  EXPECT_NEAR(f.graph.Horizontal().m_Show0, 0, 1e-6);
  EXPECT_NEAR(f.graph.Horizontal().m_Show1, 10, 1e-6);
  // Line 0 is black, 2 pixels wide: on the curve at several x, white a quarter pane away.
  const int quarter = f.graph.Layout().panes[0].Height() / 4;
  for (double x : {0.7, 1.5708, 3.3, 4.71, 6.0, 8.2}) {
    const QPoint p = f.At(x, std::sin(x));
    EXPECT_TRUE(DarkNear(img, p.x(), p.y(), 1)) << x;
    const int away = p.y() + (std::sin(x) > 0 ? quarter : -quarter);
    EXPECT_GT(qGray(img.pixel(p.x(), away)), 140) << x;  // white or a grey grid line
  }
}

TEST(GraphExtrasTest, ColourBandFillsItsStretchBehindTheLines) {
  Fixture f;
  Sine sine;
  f.list.lines = {&sine};
  ASSERT_TRUE(f.graph.AddColourBand(4, 6, 0xC8FFC8));
  const QImage& img = f.Draw();
  const int y = f.At(0, 0.93).y();  // above the curve, off the grid lines
  EXPECT_TRUE(NearColour(img.pixel(f.At(4.7, 0).x(), y), qRgb(200, 255, 200), 2));
  EXPECT_TRUE(NearColour(img.pixel(f.At(3.3, 0).x(), y), qRgb(255, 255, 255), 2));
  EXPECT_TRUE(NearColour(img.pixel(f.At(6.7, 0).x(), y), qRgb(255, 255, 255), 2));
  // The curve is drawn over the band.
  const QPoint on = f.At(5, std::sin(5.0));
  EXPECT_TRUE(DarkNear(img, on.x(), on.y(), 1));
  f.graph.ClearColourBands();
  EXPECT_TRUE(NearColour(f.graph.Rendered().pixel(f.At(4.7, 0).x(), y), qRgb(255, 255, 255), 2));
  // The window keeps at most 896 bands.
  for (int i = 0; i < kMaxColourBands; ++i) ASSERT_TRUE(f.graph.AddColourBand(i, i + 0.5, 0x808080));
  EXPECT_FALSE(f.graph.AddColourBand(0, 1, 0x808080));
  EXPECT_EQ(static_cast<int>(f.graph.ColourBands().size()), kMaxColourBands);
}

TEST(GraphExtrasTest, BandLineIsAFilledBandOfItsHalfWidthInTheLightColour) {
  Fixture f;
  FlatBand band;
  Sine sine;
  f.list.lines = {&band, &sine};
  const QImage& img = f.Draw();
  const QRgb light = GraphPainter::LineColour(0, true).rgb();
  // Inside the band (between −0.25 and 0.25), away from the sine.
  const QPoint in = f.At(3.15, 0.17);
  EXPECT_TRUE(NearColour(img.pixel(in), light, 3)) << std::hex << img.pixel(in);
  const QPoint out = f.At(3.15, -0.45);
  EXPECT_TRUE(NearColour(img.pixel(out), qRgb(255, 255, 255), 3));
  // The band does not extend beyond its points.
  const QPoint before = f.At(1.0, 0.1);
  EXPECT_FALSE(NearColour(img.pixel(before), light, 3));
}

}  // namespace
}  // namespace kavu
