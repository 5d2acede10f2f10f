#include "dsp/okorr_poly_creater.h"

#include <algorithm>
#include <cmath>

#include "dsp/solve_linear.h"
#include "shell/fatal_error.h"

namespace kavu {
namespace {

double Pow(double x, int k) {
  double r = 1.0;
  while (k > 0) {
    if (k & 1) r *= x;
    x *= x;
    k >>= 1;
  }
  return r;
}

}  // namespace

OKorrPolyCreater::OKorrPolyCreater(const OKorrPolyCreater& other) { *this = other; }

OKorrPolyCreater& OKorrPolyCreater::operator=(const OKorrPolyCreater& other) {
  // Every legal fitter (0 ... 16 terms) copies; only a corrupted one is refused.
  if (other.m_N < 0 || other.m_N > kMaxTerms || other.m_SumsN < 0 || other.m_SumsN > kMaxSums) {
    FatalError("OKorrPolyCreater::operator=() - m_N у источника не допустим !!!");
  }
  if (this == &other) return *this;
  m_N = other.m_N;
  std::copy_n(other.m_A, kMaxTerms, m_A);
  std::copy_n(other.m_B, kMaxTerms, m_B);
  m_SumsN = other.m_SumsN;
  std::copy_n(other.m_Sums, kMaxSums, m_Sums);
  m_SumWZ2 = other.m_SumWZ2;
  m_SumW = other.m_SumW;
  std::copy_n(other.m_C, kMaxTerms, m_C);
  return *this;
}

void OKorrPolyCreater::ClearFit() {
  m_SumsN = 0;
  std::fill_n(m_Sums, kMaxSums, 0.0);
  m_SumWZ2 = m_SumW = 0.0;
  std::fill_n(m_C, kMaxTerms, 0.0);
}

void OKorrPolyCreater::PolyTypeAdd(int n) {
  if (n + 1 > kMaxTerms) FatalError("OKorrPolyCreater::PolyTypeAdd() - слишком много слагаемых");
  if (n < 0) FatalError("OKorrPolyCreater::PolyTypeAdd() - отрицательная степень");
  m_N = 0;
  for (int i = 0; i <= n; ++i) {
    m_A[i] = i;
    m_B[i] = 0;
    ++m_N;
  }
  ClearFit();
}

void OKorrPolyCreater::AddTerm(int a, int b) {
  if (m_N >= kMaxTerms) FatalError("OKorrPolyCreater::PolyTypeAdd() - слишком много слагаемых");
  m_A[m_N] = a;
  m_B[m_N] = b;
  ++m_N;
  ClearFit();
}

void OKorrPolyCreater::StartPolyCreate() {
  if (m_N < 1) FatalError("OKorrPolyCreater::StartPolyCreate() - m_N<1 !!!");
  ClearFit();
  m_SumsN = SumsFor(m_N);
}

void OKorrPolyCreater::AddAproxValue(double x, double y, double z, double w) {
  if (m_N < 1 || m_SumsN != SumsFor(m_N)) FatalError("OKorrPolyCreater::AddAproxValue() - внутренняя ошибка");
  for (int i = 0; i < m_N; ++i) {
    for (int j = i; j >= 0; --j) {
      m_Sums[Packed(i, j)] += w * Pow(x, m_A[i] + m_A[j]) * Pow(y, m_B[i] + m_B[j]);
    }
  }
  double* rhs = m_Sums + m_N * (m_N + 1) / 2;
  for (int i = 0; i < m_N; ++i) rhs[i] += w * z * Pow(x, m_A[i]) * Pow(y, m_B[i]);
  m_SumWZ2 += w * z * z;
  m_SumW += w;
}

bool OKorrPolyCreater::Solve(int limit) {
  const int m = std::clamp(limit, 0, m_N);
  std::fill_n(m_C, kMaxTerms, 0.0);
  if (m == 0) return true;
  double a[kMaxTerms * kMaxTerms];
  double b[kMaxTerms];
  const double* rhs = m_Sums + m_N * (m_N + 1) / 2;
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j <= i; ++j) a[i * m + j] = a[j * m + i] = m_Sums[Packed(i, j)];
    b[i] = rhs[i];
  }
  return SolveLinear(a, m, m, b, m_C);
}

double OKorrPolyCreater::Value(double x) const {
  double v = 0.0;
  for (int i = 0; i < m_N; ++i) v += m_C[i] * Pow(x, m_A[i]);
  return v;
}

double OKorrPolyCreater::Slope(double x) const {
  double v = 0.0;
  for (int i = 0; i < m_N; ++i) v += m_C[i] * m_A[i] * Pow(x, m_A[i] - 1);
  return v;
}

double OKorrPolyCreater::Value2(double x, double y) const {
  double v = 0.0;
  for (int i = 0; i < m_N; ++i) v += m_C[i] * Pow(x, m_A[i]) * Pow(y, m_B[i]);
  return v;
}

double& OKorrPolyCreater::operator[](int i) {
  if (i < 0 || i >= m_N) FatalError("OKorrPolyCreater::operator[] - i");
  return m_C[i];
}

double OKorrPolyCreater::operator[](int i) const {
  if (i < 0 || i >= m_N) FatalError("OKorrPolyCreater::operator[] - i");
  return m_C[i];
}

double OKorrPolyCreater::ResidualRms() const {
  if (!(m_SumW > 0.0) || m_SumsN != SumsFor(m_N)) return 0.0;
  // Σw(z - Σc_i t_i)² = Σwz² - 2 Σ c_i rhs_i + Σ_i Σ_j c_i c_j sum(i, j)
  const double* rhs = m_Sums + m_N * (m_N + 1) / 2;
  double r = m_SumWZ2;
  for (int i = 0; i < m_N; ++i) {
    r -= 2.0 * m_C[i] * rhs[i];
    for (int j = 0; j < m_N; ++j) r += m_C[i] * m_C[j] * m_Sums[Packed(std::max(i, j), std::min(i, j))];
  }
  return std::sqrt(std::max(0.0, r) / m_SumW);
}

}  // namespace kavu
