#pragma once
// The fit behind "Подобрать!": a least-squares circle centred on the horizontal axis,
// x² + y² − 2·x0·x + q = 0, through the plotted points, and the SWR and cable impedance it
// stands for. A fit that cannot give a meaningful circle says why and gives no values.
#include <complex>
#include <string>
#include <vector>

namespace kavu {

struct SwrCircleFit {
  bool ok = false;
  std::string why;    // the reason when not ok
  double x0 = 0;      // circle centre on the horizontal axis (Ω, or Γ units in the circle diagram)
  double radius = 0;  // b = √(x0² − q)
  double swr = 0;     // s > 1
  double rc = 0;      // cable impedance, Ω
};

// The circle alone; `ok` false when there are fewer than two distinct abscissae, the system is
// singular or x0² − q ≤ 0. Non-finite points are left out.
SwrCircleFit FitAxisCircle(const std::vector<std::complex<double>>& points);

// R–X plane: from the circle, s = √((1 + b/x0) / (1 − b/x0)) and Rc = 2·b·s / (s² − 1). Refused
// unless 0 < b < x0 (a circle touching or crossing R = 0 is no SWR circle).
SwrCircleFit FitSwrCircleRx(const std::vector<std::complex<double>>& z_points);

// Circle diagram (points are Γ values against z0): s = (1 + d)/(1 − d) with d the root mean
// square of |Γ|, Rc = z0; the circle's x0 and radius are reported when they can be fitted.
// Refused without finite points, when d ≥ 1, or when d is within 1e-6 of 0 (s would not
// measurably exceed 1).
SwrCircleFit FitSwrCircleGamma(const std::vector<std::complex<double>>& gamma_points, double z0);

}  // namespace kavu
