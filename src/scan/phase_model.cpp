#include "scan/phase_model.h"

#include <cmath>
#include <numbers>

#include "dsp/fast_atan.h"

namespace kavu {
namespace {

constexpr double kPi = std::numbers::pi;

double Wrap(double d) {
  while (d > kPi) d -= 2 * kPi;
  while (d <= -kPi) d += 2 * kPi;
  return d;
}

FftComplex Mul(FftComplex a, FftComplex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

OPhaseModel::OPhaseModel() {
  ref_.PolyTypeAdd(1);
  res_.PolyTypeAdd(1);
}

void OPhaseModel::FitReference(const FftComplex* X, SampleWindow w1) {
  origin_ = w1.begin;
  ref_.StartPolyCreate();
  double prev = 0, unwrapped = 0;
  for (int64_t k = w1.begin; k < w1.end; ++k) {
    const double a = FastAtan2(X[k].imag(), X[k].real());
    unwrapped += Wrap(a - prev);
    prev = a;
    ref_.AddAproxValue(x(k), unwrapped, 1.0);
  }
  ref_.Solve(16);
}

void OPhaseModel::Residual(const FftComplex* X, SampleWindow w, double* prev, double* unwrapped) {
  if (w.Size() == 0) return;
  const double b = ref_[1];
  FftComplex ph = std::polar(1.0, -ref_.Value(x(w.begin)));
  const FftComplex step = std::polar(1.0, -b);
  for (int64_t k = w.begin; k < w.end; ++k) {
    const FftComplex v = Mul(X[k], ph);
    const double r = FastAtan2(v.imag(), v.real());
    *unwrapped += Wrap(r - *prev);
    *prev = r;
    res_.AddAproxValue(x(k), *unwrapped, 1.0);
    ph = Mul(ph, step);
  }
}

void OPhaseModel::FitResidual(const FftComplex* X, SampleWindow w1, SampleWindow w3) {
  res_.StartPolyCreate();
  double prev = 0, unwrapped = 0;
  Residual(X, w1, &prev, &unwrapped);
  Residual(X, w3, &prev, &unwrapped);
  res_.Solve(16);
  c0_ = res_[0] + ref_[0];
  c1_ = res_[1] + ref_[1];
}

bool OPhaseModel::Finite() const { return std::isfinite(c0_) && std::isfinite(c1_); }

}  // namespace kavu
