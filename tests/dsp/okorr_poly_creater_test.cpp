#include "dsp/okorr_poly_creater.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dsp/fft_test_util.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

TEST(OKorrPolyCreaterTest, LineAndCubicAreRecovered) {
  OKorrPolyCreater line;
  line.PolyTypeAdd(1);
  line.StartPolyCreate();
  for (int i = 0; i < 10; ++i) line.AddAproxValue(0.5 * i, 3.0 - 2.0 * (0.5 * i), 1.0);
  ASSERT_TRUE(line.Solve(16));
  EXPECT_NEAR(line[0], 3.0, 1e-12);
  EXPECT_NEAR(line[1], -2.0, 1e-12);
  EXPECT_NEAR(line.Value(10.0), -17.0, 1e-11);
  EXPECT_NEAR(line.Slope(123.0), -2.0, 1e-12);
  EXPECT_NEAR(line.ResidualRms(), 0.0, 1e-6);
  EXPECT_DOUBLE_EQ(line.SumW(), 10.0);

  // z = 0.25 - x + 0.5x² - 0.125x³ with uneven weights
  OKorrPolyCreater cubic;
  cubic.PolyTypeAdd(3);
  cubic.StartPolyCreate();
  for (int i = -6; i <= 6; ++i) {
    const double x = 0.3 * i;
    cubic.AddAproxValue(x, 0.25 - x + 0.5 * x * x - 0.125 * x * x * x, 1.0 + (i & 3));
  }
  ASSERT_TRUE(cubic.Solve(16));
  EXPECT_NEAR(cubic[0], 0.25, 1e-11);
  EXPECT_NEAR(cubic[1], -1.0, 1e-11);
  EXPECT_NEAR(cubic[2], 0.5, 1e-11);
  EXPECT_NEAR(cubic[3], -0.125, 1e-11);
  EXPECT_NEAR(cubic.Slope(1.0), -1.0 + 1.0 - 0.375, 1e-10);
}

TEST(OKorrPolyCreaterTest, WeightsAndNoise) {
  // A point with weight 0 is ignored; the fit of a line through symmetric noise is the line.
  OKorrPolyCreater fit;
  fit.PolyTypeAdd(1);
  fit.StartPolyCreate();
  for (int i = 0; i < 20; ++i) {
    const double noise = (i % 2 == 0) ? 0.1 : -0.1;
    fit.AddAproxValue(i / 2 * 1.0, 1.0 + 0.5 * (i / 2) + noise, 1.0);
  }
  fit.AddAproxValue(3.0, 1000.0, 0.0);
  ASSERT_TRUE(fit.Solve(16));
  EXPECT_NEAR(fit[0], 1.0, 1e-12);
  EXPECT_NEAR(fit[1], 0.5, 1e-12);
  EXPECT_NEAR(fit.ResidualRms(), 0.1, 1e-9);
  EXPECT_DOUBLE_EQ(fit.SumWZ2(), [&] {
    double s = 0;
    for (int i = 0; i < 20; ++i) {
      const double z = 1.0 + 0.5 * (i / 2) + ((i % 2 == 0) ? 0.1 : -0.1);
      s += z * z;
    }
    return s;
  }());
}

TEST(OKorrPolyCreaterTest, SolveLimitAndTwoVariables) {
  // Degree 2 on a line, solved for 2 coefficients only: the line, and the third is 0.
  OKorrPolyCreater fit;
  fit.PolyTypeAdd(2);
  fit.StartPolyCreate();
  for (int i = 0; i < 5; ++i) fit.AddAproxValue(i, 2.0 + i, 1.0);
  ASSERT_TRUE(fit.Solve(2));
  EXPECT_NEAR(fit[0], 2.0, 1e-12);
  EXPECT_NEAR(fit[1], 1.0, 1e-12);
  EXPECT_EQ(fit[2], 0.0);

  // z = 1 + 2x + 3y + 0.5xy
  OKorrPolyCreater xy;
  xy.AddTerm(0, 0);
  xy.AddTerm(1, 0);
  xy.AddTerm(0, 1);
  xy.AddTerm(1, 1);
  xy.StartPolyCreate();
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 3; ++j) xy.AddAproxValue(i, j, 1 + 2 * i + 3 * j + 0.5 * i * j, 1.0);
  }
  ASSERT_TRUE(xy.Solve(16));
  EXPECT_NEAR(xy[0], 1.0, 1e-12);
  EXPECT_NEAR(xy[1], 2.0, 1e-12);
  EXPECT_NEAR(xy[2], 3.0, 1e-12);
  EXPECT_NEAR(xy[3], 0.5, 1e-12);
  EXPECT_NEAR(xy.Value2(10, -2), 1 + 20 - 6 - 10, 1e-10);
  EXPECT_NEAR(xy.Value(10), 1 + 20 + 3 + 5, 1e-10);  // y exponents ignored: every y^b counts as 1
}

TEST(OKorrPolyCreaterTest, SingularAndEmptyModels) {
  OKorrPolyCreater fit;
  fit.PolyTypeAdd(2);
  fit.StartPolyCreate();
  for (int i = 0; i < 6; ++i) fit.AddAproxValue(i % 2, 1.0 + i % 2, 1.0);  // two distinct x only
  EXPECT_FALSE(fit.Solve(16));
  EXPECT_FALSE(std::isfinite(fit[0]) && std::isfinite(fit[1]) && std::isfinite(fit[2]));

  OKorrPolyCreater ref;  // the reference fitter's initial state: zero everywhere
  ref.PolyTypeAdd(0);
  ref[0] = 0.0;
  EXPECT_EQ(ref.Value(0.0), 0.0);
  EXPECT_EQ(ref.Value(-1e6), 0.0);
  EXPECT_EQ(ref.Slope(5.0), 0.0);

  OKorrPolyCreater at_zero;  // 0^0 = 1: the constant term counts at x = 0
  at_zero.PolyTypeAdd(1);
  at_zero[0] = 4.0;
  at_zero[1] = 2.0;
  EXPECT_EQ(at_zero.Value(0.0), 4.0);
  EXPECT_EQ(at_zero.Slope(0.0), 2.0);
}

TEST(OKorrPolyCreaterTest, SixteenTermFitterCopies) {
  OKorrPolyCreater fit;
  fit.PolyTypeAdd(15);
  ASSERT_EQ(fit.Terms(), 16);
  fit.StartPolyCreate();
  for (int i = 0; i < 40; ++i) fit.AddAproxValue(i / 40.0, std::sin(i / 40.0), 1.0);
  OKorrPolyCreater copy(fit), assigned;
  assigned = fit;
  fit.Solve(16);
  copy.Solve(16);
  assigned.Solve(16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(copy[i], fit[i]) << i;
    EXPECT_EQ(assigned[i], fit[i]) << i;
  }
  EXPECT_EQ(copy.SumW(), fit.SumW());
  EXPECT_EQ(assigned.Terms(), 16);
}

TEST(OKorrPolyCreaterTest, MisuseStops) {
  test::UseThreadsafeDeathTests();
  OKorrPolyCreater fit;
  EXPECT_FATAL(fit.PolyTypeAdd(16), "OKorrPolyCreater::PolyTypeAdd() - слишком много слагаемых");
  EXPECT_FATAL(fit.StartPolyCreate(), "OKorrPolyCreater::StartPolyCreate() - m_N<1 !!!");
  fit.PolyTypeAdd(2);
  EXPECT_FATAL(fit.AddAproxValue(1.0, 2.0, 1.0), "OKorrPolyCreater::AddAproxValue() - внутренняя ошибка");
  fit.StartPolyCreate();
  fit.AddTerm(0, 1);  // the terms changed after the start: the sums no longer match
  EXPECT_FATAL(fit.AddAproxValue(1.0, 2.0, 1.0), "OKorrPolyCreater::AddAproxValue() - внутренняя ошибка");
  EXPECT_FATAL(fit[4], "OKorrPolyCreater::operator[] - i");
  EXPECT_FATAL(fit[-1], "OKorrPolyCreater::operator[] - i");
  for (int i = 0; i < 12; ++i) fit.AddTerm(i, 0);
  EXPECT_FATAL(fit.AddTerm(1, 1), "OKorrPolyCreater::PolyTypeAdd() - слишком много слагаемых");
}

}  // namespace
}  // namespace kavu
