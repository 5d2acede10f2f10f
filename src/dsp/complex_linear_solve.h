#pragma once
// Gaussian elimination with partial pivoting for a small complex system A·x = b, the pivot
// chosen by the largest |a|² in its column (the first such row on ties). A and b are destroyed.
// A singular system (a zero pivot) gives NaN in every unknown and false, never a division by
// zero or a crash.
#include <array>
#include <complex>
#include <cstddef>

namespace kavu {

template <size_t N>
bool SolveLinearComplex(std::array<std::array<std::complex<double>, N>, N>& a,
                        std::array<std::complex<double>, N>& b,
                        std::array<std::complex<double>, N>& x) {
  for (size_t k = 0; k < N; ++k) {
    size_t p = k;
    for (size_t i = k + 1; i < N; ++i) {
      if (std::norm(a[i][k]) > std::norm(a[p][k])) p = i;
    }
    // A NaN pivot fails here as well: the result would be NaN anyway.
    if (!(std::norm(a[p][k]) > 0.0)) {
      x.fill({std::nan(""), std::nan("")});
      return false;
    }
    if (p != k) {
      std::swap(a[p], a[k]);
      std::swap(b[p], b[k]);
    }
    for (size_t i = k + 1; i < N; ++i) {
      const std::complex<double> factor = -a[i][k] / a[k][k];
      a[i][k] = 0.0;
      for (size_t j = k + 1; j < N; ++j) a[i][j] += factor * a[k][j];
      b[i] += factor * b[k];
    }
  }
  for (size_t r = N; r-- > 0;) {
    std::complex<double> s = b[r];
    for (size_t j = r + 1; j < N; ++j) s -= a[r][j] * x[j];
    x[r] = s / a[r][r];
  }
  return true;
}

}  // namespace kavu
