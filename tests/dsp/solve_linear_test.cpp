#include "dsp/solve_linear.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <vector>

#include "dsp/complex_linear_solve.h"
#include "dsp/fft_test_util.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

TEST(SolveLinearTest, KnownSystems) {
  // A zero in the first pivot position needs the row swap.
  double a[9] = {0, 2, 1,   //
                 1, 1, 1,   //
                 2, 1, -1};
  double b[3] = {7, 6, 1};  // x = (1, 2, 3)
  double out[3];
  ASSERT_TRUE(SolveLinear(a, 3, 3, b, out));
  EXPECT_NEAR(out[0], 1.0, 1e-14);
  EXPECT_NEAR(out[1], 2.0, 1e-14);
  EXPECT_NEAR(out[2], 3.0, 1e-14);

  double one[1] = {4.0}, rhs[1] = {10.0}, x1[1];
  ASSERT_TRUE(SolveLinear(one, 1, 1, rhs, x1));
  EXPECT_EQ(x1[0], 2.5);

  // Row stride wider than the matrix: the padding is neither read as data nor changed.
  double wide[2 * 4] = {3, 1, 99, 99,  //
                        1, 2, 99, 99};
  double b2[2] = {9, 8}, x2[2];  // x = (2, 3)
  ASSERT_TRUE(SolveLinear(wide, 2, 4, b2, x2));
  EXPECT_NEAR(x2[0], 2.0, 1e-14);
  EXPECT_NEAR(x2[1], 3.0, 1e-14);
  EXPECT_EQ(wide[2], 99);
  EXPECT_EQ(wide[7], 99);

  EXPECT_TRUE(SolveLinear(nullptr, 0, 0, nullptr, nullptr));
}

TEST(SolveLinearTest, IllConditionedHilbertAndRandomSystems) {
  const int n = 6;
  std::vector<double> a(n * n), b(n), out(n), x(n);
  for (int i = 0; i < n; ++i) x[i] = 1.0 + i;
  for (int i = 0; i < n; ++i) {
    b[i] = 0;
    for (int j = 0; j < n; ++j) {
      a[i * n + j] = 1.0 / (i + j + 1);
      b[i] += a[i * n + j] * x[j];
    }
  }
  ASSERT_TRUE(SolveLinear(a.data(), n, n, b.data(), out.data()));
  for (int i = 0; i < n; ++i) EXPECT_NEAR(out[i], x[i], 1e-6) << i;

  // 12 x 12 random system: residual at rounding level.
  const int m = 12;
  const FftVector r = test::RandomVector(m * m + m, 42);
  std::vector<double> A(m * m), A0(m * m), B(m), B0(m), X(m);
  for (int i = 0; i < m * m; ++i) A[i] = A0[i] = r[i].real();
  for (int i = 0; i < m; ++i) B[i] = B0[i] = r[m * m + i].imag();
  ASSERT_TRUE(SolveLinear(A.data(), m, m, B.data(), X.data()));
  for (int i = 0; i < m; ++i) {
    double s = 0;
    for (int j = 0; j < m; ++j) s += A0[i * m + j] * X[j];
    EXPECT_NEAR(s, B0[i], 1e-12) << i;
  }
}

TEST(SolveLinearTest, SingularSystemGivesNonFiniteValues) {
  double a[4] = {1, 2,  //
                 2, 4};
  double b[2] = {3, 6}, out[2];
  EXPECT_FALSE(SolveLinear(a, 2, 2, b, out));
  EXPECT_FALSE(std::isfinite(out[0]) && std::isfinite(out[1]));

  double zero[4] = {0, 0, 0, 0}, bz[2] = {1, 1}, oz[2];
  EXPECT_FALSE(SolveLinear(zero, 2, 2, bz, oz));
}

TEST(SolveLinearTest, StrideSmallerThanSizeStops) {
  test::UseThreadsafeDeathTests();
  double a[4] = {1, 0, 0, 1}, b[2] = {1, 1}, out[2];
  EXPECT_FATAL(SolveLinear(a, 2, 1, b, out), "SolveLinear() - шаг строк меньше размера матрицы !!!");
}

TEST(SolveLinearComplexTest, KnownSystemSwapAndSingular) {
  using C = std::complex<double>;
  // x = (1 + j, 2, -j); the zero in the first pivot position needs a row swap.
  std::array<std::array<C, 3>, 3> a = {{{C(0, 0), C(2, 0), C(1, 1)},
                                        {C(1, 0), C(0, 1), C(1, 0)},
                                        {C(2, -1), C(1, 0), C(0, 0)}}};
  const std::array<C, 3> x_true = {C(1, 1), C(2, 0), C(0, -1)};
  std::array<C, 3> b{};
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = 0; j < 3; ++j) b[i] += a[i][j] * x_true[j];
  }
  std::array<C, 3> x{};
  ASSERT_TRUE(SolveLinearComplex(a, b, x));
  for (size_t i = 0; i < 3; ++i) EXPECT_LT(std::abs(x[i] - x_true[i]), 1e-14) << i;

  // Two equal rows: no division by zero, NaN in every unknown and false.
  std::array<std::array<C, 2>, 2> s = {{{C(1, 1), C(2, 0)}, {C(1, 1), C(2, 0)}}};
  std::array<C, 2> sb = {C(1, 0), C(1, 0)};
  std::array<C, 2> sx{};
  EXPECT_FALSE(SolveLinearComplex(s, sb, sx));
  for (const C& v : sx) EXPECT_TRUE(std::isnan(v.real()) && std::isnan(v.imag()));
}

}  // namespace
}  // namespace kavu
