#include "results/swr_circle_fit.h"

#include <cmath>

namespace kavu {
namespace {

bool Finite(std::complex<double> p) { return std::isfinite(p.real()) && std::isfinite(p.imag()); }

SwrCircleFit Refused(std::string why) {
  SwrCircleFit f;
  f.why = std::move(why);
  return f;
}

}  // namespace

SwrCircleFit FitAxisCircle(const std::vector<std::complex<double>>& points) {
  // Normal equations of Σ (u − 2·x0·x + q)² with u = x² + y²:
  //   2·Σx²·x0 − Σx·q = Σu·x,  2·Σx·x0 − n·q = Σu.
  double n = 0, sx = 0, sxx = 0, su = 0, sux = 0;
  for (const auto& p : points) {
    if (!Finite(p)) continue;
    const double x = p.real(), u = std::norm(p);
    n += 1, sx += x, sxx += x * x, su += u, sux += u * x;
  }
  if (n < 2) return Refused("меньше двух точек");
  const double det = -2 * n * sxx + 2 * sx * sx;
  // Relative test: all abscissae (nearly) equal leaves the centre undetermined.
  if (!(std::abs(det) > 1e-12 * 2 * n * sxx) || sxx == 0) return Refused("все точки на одной вертикали");
  SwrCircleFit f;
  f.x0 = (-n * sux + sx * su) / det;
  const double q = (2 * sxx * su - 2 * sx * sux) / det;
  const double b2 = f.x0 * f.x0 - q;
  if (!std::isfinite(b2) || b2 <= 0) return Refused("окружность не получается");
  f.radius = std::sqrt(b2);
  f.ok = true;
  return f;
}

SwrCircleFit FitSwrCircleRx(const std::vector<std::complex<double>>& z_points) {
  SwrCircleFit f = FitAxisCircle(z_points);
  if (!f.ok) return f;
  const double ratio = f.radius / f.x0;
  if (!(f.x0 > 0) || !(ratio > 0 && ratio < 1)) return Refused("окружность задевает R <= 0");
  f.swr = std::sqrt((1 + ratio) / (1 - ratio));
  f.rc = 2 * f.radius * f.swr / (f.swr * f.swr - 1);
  if (!std::isfinite(f.swr) || !std::isfinite(f.rc) || f.swr <= 1) return Refused("КСВ не больше 1");
  return f;
}

SwrCircleFit FitSwrCircleGamma(const std::vector<std::complex<double>>& gamma_points, double z0) {
  double n = 0, sum = 0;
  for (const auto& g : gamma_points) {
    if (!Finite(g)) continue;
    n += 1, sum += std::norm(g);
  }
  if (n == 0) return Refused("нет точек");
  const double d = std::sqrt(sum / n);
  // d within rounding of 0 would give an SWR of 1 that prints as "1" and draws nothing.
  if (!(d > 1e-6 && d < 1)) return Refused(d >= 1 ? "|Г| не меньше 1" : "все точки в центре");
  if (!(z0 > 0) || !std::isfinite(z0)) return Refused("Z0 не больше 0");
  SwrCircleFit circle = FitAxisCircle(gamma_points);
  SwrCircleFit f;
  f.ok = true;
  f.x0 = circle.ok ? circle.x0 : 0;
  f.radius = circle.ok ? circle.radius : d;
  f.swr = (1 + d) / (1 - d);
  f.rc = z0;
  return f;
}

}  // namespace kavu
