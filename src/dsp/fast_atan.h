#pragma once
// The table arctangent used throughout the measurement: 514 entries T[i] = atan(i / 512) with
// linear interpolation (error below 2e-6 rad), instead of the library function.
#include <array>
#include <cmath>

namespace kavu {

namespace detail {
// Built during static initialisation, before main().
extern const std::array<double, 514> kAtanTable;
}

// atan(x) for |x| ≤ 1, in radians. |x| > 1 is answered through π/2 − atan(1/x); a NaN gives NaN
// and ±inf gives ±π/2, never a table index out of range.
inline double FastAtan(double x) {
  const double ax = std::fabs(x);
  if (!(ax <= 1.0)) {
    if (std::isnan(x)) return x;
    const double a = 1.5707963267948966 - FastAtan(1.0 / ax);
    return x < 0 ? -a : a;
  }
  const double u = ax * 512;
  const int i = static_cast<int>(u);  // 0 … 512
  const double* T = detail::kAtanTable.data();
  const double a = T[i] + (T[i + 1] - T[i]) * (u - i);
  return x >= 0 ? a : -a;
}

// atan2(y, x) in [−π, π] through FastAtan; NaN in either argument gives NaN.
inline double FastAtan2(double y, double x) {
  constexpr double kPi = 3.141592653589793;
  if (x > 0 && x >= std::fabs(y)) return FastAtan(y / x);
  if (y > 0 && y >= std::fabs(x)) return kPi / 2 - FastAtan(x / y);
  if (y < 0 && -y >= std::fabs(x)) return -kPi / 2 - FastAtan(x / y);
  if (y >= 0) return x == 0 ? 0.0 : FastAtan(y / x) + kPi;
  return FastAtan(y / x) - kPi;
}

}  // namespace kavu
