#pragma once
// The generator's phase drift over one repetition, modelled from its reference (O) slots.
//
// A straight line is fitted to the unwrapped phase of W1 (the O slot before the A slot); then a
// parabola to the residual phase of W1 and W3 after removing that line (the line is removed by a
// unit phasor advanced by complex multiplication, not by sine and cosine per sample). The model
// is the parabola plus the line: φ(k) = model(k − origin), origin = W1's first sample, radians
// per decimated sample index. Phases are taken with the table arctangent.
#include <cstdint>

#include "dsp/okorr_poly_creater.h"
#include "dsp/signal_chain.h"
#include "scan/measure_windows.h"

namespace kavu {

class OPhaseModel {
 public:
  OPhaseModel();
  // Stage 1: the reference line on W1.
  void FitReference(const FftComplex* X, SampleWindow w1);
  // Stage 2: the residual parabola on W1 and W3; afterwards Phase() and Rate() use the model.
  void FitResidual(const FftComplex* X, SampleWindow w1, SampleWindow w3);

  int64_t Origin() const { return origin_; }
  // φ(k), radians.
  double Phase(int64_t k) const { return c0_ + x(k) * (c1_ + x(k) * c2_); }
  // φ at a fractional sample position k, radians.
  double PhaseAt(double k) const {
    const double u = k - static_cast<double>(origin_);
    return c0_ + u * (c1_ + u * c2_);
  }
  // dφ/dk at the (possibly fractional) sample position k, radians per decimated sample.
  double Rate(double k) const { return c1_ + 2 * c2_ * (k - static_cast<double>(origin_)); }
  bool Finite() const;

 private:
  double x(int64_t k) const { return static_cast<double>(k - origin_); }
  void Residual(const FftComplex* X, SampleWindow w, double* prev, double* unwrapped);

  OKorrPolyCreater ref_, res_;
  int64_t origin_ = 0;
  double c0_ = 0, c1_ = 0, c2_ = 0;
};

}  // namespace kavu
