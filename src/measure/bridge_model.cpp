#include "measure/bridge_model.h"

#include <cmath>
#include <numbers>

namespace kavu {

Complex Parallel(Complex a, Complex b) { return a * b / (a + b); }

double SeparatingReactance(const BridgeSettings& s, double f_hz) {
  if (!(s.cs_pf > 0)) return 0.0;
  return -1.0 / (2.0 * std::numbers::pi * f_hz * s.cs_pf * 1e-12);
}

Complex DetectorBranch(const BridgeSettings& s, double f_hz) {
  const Complex receiver(BridgeSettings::kReceiverOhm, SeparatingReactance(s, f_hz));
  return s.rd + Parallel(s.rg, receiver);
}

Complex ExpectedRatio(const BridgeSettings& s, Complex z, double f_hz) {
  const Complex z1 = DetectorBranch(s, f_hz);
  const Complex zb = Parallel(s.rb, z1);
  const Complex za = (z == Complex(0.0)) ? Complex(0.0) : Parallel(z, z1);
  const Complex va = za / (za + s.rt);
  const Complex vo = zb / (zb + s.rt);
  return va / vo;
}

Complex SolveBridgeRatio(const BridgeSettings& s, Complex rho, double f_hz) {
  const Complex z1 = DetectorBranch(s, f_hz);
  const Complex zb = Parallel(s.rb, z1);
  const Complex v = rho * zb / (zb + s.rt);
  const Complex y = (1.0 - v) / (s.rt * v) - 1.0 / z1;
  return 1.0 / y;
}

Complex CableTransform(const BridgeSettings& s, Complex z, double f_hz) {
  if (s.cable_m == 0) return z;
  const double t = -std::tan(2.0 * std::numbers::pi * f_hz * s.cable_m / kLightSpeed);
  const double z0 = s.z0;
  if (std::isinf(t)) return z0 * z0 / z;
  const Complex jt(0.0, t);
  return z0 * (z + jt * z0) / (z0 + jt * z);
}

Complex Gamma(Complex z, double z0) { return (z - z0) / (z + z0); }

double Swr(Complex z, double z0) {
  const double g = std::abs(Gamma(z, z0));
  if (g > 0.99999) return kSwrCeiling;
  return (1.0 + g) / (1.0 - g);
}

}  // namespace kavu
