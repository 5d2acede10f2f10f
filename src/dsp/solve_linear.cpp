#include "dsp/solve_linear.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "shell/fatal_error.h"

namespace kavu {

bool SolveLinear(double* a, int n, int stride, double* b, double* out) {
  if (n <= 0) return true;
  if (stride < n) FatalError("SolveLinear() - шаг строк меньше размера матрицы !!!");
  const auto at = [&](int i, int j) -> double& {
    return a[static_cast<ptrdiff_t>(i) * stride + j];
  };
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i) {
      if (std::fabs(at(i, k)) > std::fabs(at(p, k))) p = i;
    }
    if (p != k) {
      for (int j = k; j < n; ++j) std::swap(at(p, j), at(k, j));
      std::swap(b[p], b[k]);
    }
    for (int i = k + 1; i < n; ++i) {
      const double factor = -at(i, k) / at(k, k);
      at(i, k) = 0.0;
      for (int j = k + 1; j < n; ++j) at(i, j) += factor * at(k, j);
      b[i] += factor * b[k];
    }
  }
  bool finite = true;
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < n; ++j) s -= at(i, j) * out[j];
    out[i] = s / at(i, i);
    finite = finite && std::isfinite(out[i]);
  }
  return finite;
}

}  // namespace kavu
