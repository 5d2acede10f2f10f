#include "results/graph_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kavu {
namespace {

TGrDia Axis(double lo, double hi) {
  TGrDia a;
  a.m_Show0 = lo, a.m_Show1 = hi;
  return a;
}

// y = x² on [−2, 2], NaN on (0.5, 0.75).
class Parabola : public OGrListItem {
 public:
  int GetKind() const override { return 1; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override { return 0; }
  int32_t GetPoint(int32_t, double&, double&) const override { return kGrInvalid; }
  void GetFunctionXRange(double& x0, double& x1) const override { x0 = -2, x1 = 2; }
  double GetFunctionValue(double x) const override { return x > 0.5 && x < 0.75 ? NAN : x * x; }
};

// Points (i, 10·i) with half-width i + 1; point 3 invalid, point 5 starts a new segment.
class Band : public OGrListItem {
 public:
  int GetKind() const override { return 0; }
  int HasBand() const override { return 1; }
  int32_t GetCount() const override { return 7; }
  int32_t GetPoint(int32_t i, double& x, double& y) const override {
    x = i, y = 10.0 * i;
    return i == 3 ? kGrInvalid : (i == 5 ? kGrNewSegment : 0);
  }
  double GetHalfWidth(int32_t i) const override { return i + 1.0; }
};

TEST(GraphCurves, ColourBandCoversItsColumnsClippedToThePlot) {
  const TGrDia h = Axis(0, 100);
  const AxisMapping m = AxisMapping::Horizontal(h, 100, 300);  // 2 pixels per unit
  PixelSpan s = ColourBandSpan({10, 20, 0xff0000}, m, 100, 300);
  EXPECT_EQ(s.left, 120);
  EXPECT_EQ(s.right, 140);
  s = ColourBandSpan({20, 10, 0}, m, 100, 300);  // either order
  EXPECT_EQ(s.left, 120);
  EXPECT_EQ(s.right, 140);
  s = ColourBandSpan({-50, 500, 0}, m, 100, 300);
  EXPECT_EQ(s.left, 100);
  EXPECT_EQ(s.right, 300);
  EXPECT_TRUE(ColourBandSpan({150, 160, 0}, m, 100, 300).Empty());
  EXPECT_TRUE(ColourBandSpan({NAN, 10, 0}, m, 100, 300).Empty());
  s = ColourBandSpan({50, 50.1, 0}, m, 100, 300);  // narrower than a pixel: one column
  EXPECT_EQ(s.right - s.left, 1);
}

TEST(GraphCurves, FunctionIsSampledEveryQuarterPixelAcrossItsVisibleRangeAndBreaksAtNaN) {
  const TGrDia h = Axis(-1, 3), v = Axis(0, 4);
  const PixelRect plot{0, 0, 400, 401};
  const AxisMapping hm = AxisMapping::Horizontal(h, plot.left, plot.right);
  const AxisMapping vm = AxisMapping::Vertical(v, plot.top, plot.bottom);
  const auto pieces = FunctionCurvePixels(Parabola(), hm, vm, plot);
  ASSERT_EQ(pieces.size(), 2u);
  // Visible part: x from −1 (pixel 0) to 2 (pixel 300, the function's end).
  EXPECT_DOUBLE_EQ(pieces[0].front().x, 0);
  EXPECT_DOUBLE_EQ(pieces[1].back().x, 300);
  EXPECT_DOUBLE_EQ(pieces[0][1].x - pieces[0][0].x, 0.25);
  for (const auto& piece : pieces) {
    for (const PixelPoint& p : piece) {
      const double x = hm.ToValue(p.x);
      EXPECT_NEAR(p.y, std::max(vm.ToPixel(x * x), -30.0), 1e-9);
    }
  }
  // The gap is where the function is not a number.
  EXPECT_LE(hm.ToValue(pieces[0].back().x), 0.5);
  EXPECT_GE(hm.ToValue(pieces[1].front().x), 0.75);
  // A function outside the visible range gives nothing.
  const TGrDia far = Axis(10, 20);
  EXPECT_TRUE(FunctionCurvePixels(Parabola(), AxisMapping::Horizontal(far, 0, 400), vm, plot).empty());
}

TEST(GraphCurves, FunctionRangeIsSampledAndWidenedByOnePercent) {
  double y0 = 0, y1 = 0;
  // x² on [−2, 2], NaN on (0.5, 0.75): 0 … 4, widened by 0.04.
  ASSERT_TRUE(SampledFunctionRange(Parabola(), -2, 2, y0, y1));
  EXPECT_NEAR(y0, -0.04, 1e-12);
  EXPECT_NEAR(y1, 4.04, 1e-12);
  // Only NaN: no range.
  EXPECT_FALSE(SampledFunctionRange(Parabola(), 0.55, 0.7, y0, y1));
  EXPECT_NEAR(y1, 4.04, 1e-12);  // untouched
}

TEST(GraphCurves, BandLineQuadsJoinValidNeighboursWithTheirHalfWidths) {
  const TGrDia h = Axis(0, 6), v = Axis(0, 60);
  const PixelRect plot{0, 0, 600, 601};
  const AxisMapping hm = AxisMapping::Horizontal(h, plot.left, plot.right);
  const AxisMapping vm = AxisMapping::Vertical(v, plot.top, plot.bottom);
  const auto quads = BandLineQuads(Band(), hm, vm, plot, 0, 7, 1);
  // 0–1, 1–2, 2–4 (3 skipped), then 5 starts afresh: 5–6.
  ASSERT_EQ(quads.size(), 4u);
  EXPECT_DOUBLE_EQ(quads[2].p[0].x, hm.ToPixel(2));
  EXPECT_DOUBLE_EQ(quads[2].p[1].x, hm.ToPixel(4));
  EXPECT_DOUBLE_EQ(quads[3].p[0].x, hm.ToPixel(5));
  // Half-width of point 1 is 2 units = 20 pixels here.
  EXPECT_NEAR(quads[0].p[1].y, vm.ToPixel(10) - 20, 1e-9);
  EXPECT_NEAR(quads[0].p[2].y, vm.ToPixel(10) + 20, 1e-9);
}

}  // namespace
}  // namespace kavu
