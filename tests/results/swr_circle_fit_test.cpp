// The SWR-circle fit: points on a known circle give back its SWR and cable impedance; input
// that cannot define a circle is refused and changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "results/rx_diagram_data.h"
#include "results/swr_circle_fit.h"

namespace kavu {
namespace {

// Points on the SWR circle s about rc, from angle a0 to a1 (radians), in the R–X plane.
std::vector<std::complex<double>> OnCircle(double s, double rc, double a0, double a1, int n) {
  const auto c = RxSwrCircle(s, rc);
  std::vector<std::complex<double>> out;
  for (int i = 0; i < n; ++i) {
    const double a = a0 + (a1 - a0) * i / (n - 1);
    out.emplace_back(c->x + c->radius * std::cos(a), c->radius * std::sin(a));
  }
  return out;
}

TEST(SwrCircleFitTest, RecoversSwrAndCableImpedanceFromACircle) {
  for (auto [s, rc] : {std::pair{2.0, 50.0}, {1.5, 75.0}, {3.7, 300.0}}) {
    // Only part of the circle, as a band of an antenna gives it.
    const SwrCircleFit f = FitSwrCircleRx(OnCircle(s, rc, 0.3, 2.5, 40));
    ASSERT_TRUE(f.ok) << f.why;
    EXPECT_NEAR(f.swr, s, 1e-9 * s);
    EXPECT_NEAR(f.rc, rc, 1e-9 * rc);
    EXPECT_NEAR(f.x0, RxSwrCircle(s, rc)->x, 1e-9 * rc);
  }
  // Noise of ±0.5 Ω on a 50 Ω circle moves the answer only a little.
  auto pts = OnCircle(2, 50, -2, 2, 60);
  for (size_t i = 0; i < pts.size(); ++i) pts[i] += std::complex<double>(i % 2 ? 0.5 : -0.5, i % 3 ? 0.3 : -0.4);
  const SwrCircleFit noisy = FitSwrCircleRx(pts);
  ASSERT_TRUE(noisy.ok);
  EXPECT_NEAR(noisy.swr, 2, 0.02);
  EXPECT_NEAR(noisy.rc, 50, 0.5);
}

TEST(SwrCircleFitTest, RefusesDegenerateInput) {
  EXPECT_FALSE(FitSwrCircleRx({}).ok);
  EXPECT_FALSE(FitSwrCircleRx({{50, 10}}).ok);
  // All on one vertical line: the centre is undetermined.
  const SwrCircleFit vertical = FitSwrCircleRx({{50, -10}, {50, 0}, {50, 10}});
  EXPECT_FALSE(vertical.ok);
  EXPECT_FALSE(vertical.why.empty());
  // A circle about the origin (b = x0) or crossing R = 0 is no SWR circle.
  std::vector<std::complex<double>> around_zero;
  for (double a = 0; a < 6; a += 0.5) around_zero.emplace_back(30 * std::cos(a), 30 * std::sin(a));
  EXPECT_FALSE(FitSwrCircleRx(around_zero).ok);
  // Non-finite points are left out, not averaged in.
  auto pts = OnCircle(2, 50, 0.3, 2.5, 10);
  pts.emplace_back(NAN, 0);
  pts.emplace_back(INFINITY, 1);
  const SwrCircleFit f = FitSwrCircleRx(pts);
  ASSERT_TRUE(f.ok);
  EXPECT_NEAR(f.swr, 2, 1e-9);
}

TEST(SwrCircleFitTest, CircleDiagramUsesTheRmsOfGamma) {
  // |Γ| = 1/3 everywhere: SWR 2 about the chart's z0.
  std::vector<std::complex<double>> g;
  for (double a = 0; a < 3; a += 0.25) g.push_back(std::polar(1.0 / 3, a));
  const SwrCircleFit f = FitSwrCircleGamma(g, 75);
  ASSERT_TRUE(f.ok);
  EXPECT_NEAR(f.swr, 2, 1e-12);
  EXPECT_EQ(f.rc, 75);
  EXPECT_NEAR(f.radius, 1.0 / 3, 1e-9);
  EXPECT_NEAR(f.x0, 0, 1e-9);
  EXPECT_FALSE(FitSwrCircleGamma({}, 50).ok);
  EXPECT_FALSE(FitSwrCircleGamma({{0, 0}, {0, 0}}, 50).ok);  // all matched: no SWR above 1
  EXPECT_FALSE(FitSwrCircleGamma({{1e-9, 0}}, 50).ok);       // matched within rounding
  EXPECT_FALSE(FitSwrCircleGamma({{1, 0}, {-1, 0}}, 50).ok);  // on the rim
}

TEST(SwrCircleFitTest, ApplyingAFitPrependsValuesOrChangesNothing) {
  std::vector<RxSeries> series(1);
  for (const auto& z : OnCircle(2, 50, 0.3, 2.5, 30)) series[0].points.push_back({7.0, z});
  series[0].points.push_back({99.0, {1000, 1000}});  // outside the window, never fitted
  RxDiagramSettings s;
  s.m_ShowFMin = 5, s.m_ShowFMax = 10;
  const RxFitOutcome r = ApplyRxFit(s, series, 50);
  ASSERT_TRUE(r.fit.ok) << r.log;
  EXPECT_NE(r.log.find("ksv=2"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find(" Z0=50"), std::string::npos) << r.log;
  const auto swrs = ParseRxList(s.sKSVs);
  ASSERT_EQ(swrs.size(), 6u);
  EXPECT_NEAR(swrs[0], 2, 1e-6);
  EXPECT_EQ(swrs[1], 1.1);  // the old list follows intact
  const auto cables = ParseRxList(s.sRCabs);
  ASSERT_EQ(cables.size(), 2u);
  EXPECT_NEAR(cables[0], 50, 1e-5);
  EXPECT_EQ(cables[1], 50);
  // A window without points: nothing changes, the log says why.
  RxDiagramSettings empty;
  empty.m_ShowFMin = 20, empty.m_ShowFMax = 30;
  const RxDiagramSettings before = empty;
  const RxFitOutcome none = ApplyRxFit(empty, series, 50);
  EXPECT_FALSE(none.fit.ok);
  EXPECT_NE(none.log.find("не подобрать"), std::string::npos);
  EXPECT_EQ(empty.sKSVs, before.sKSVs);
  EXPECT_EQ(empty.sRCabs, before.sRCabs);
}

}  // namespace
}  // namespace kavu
