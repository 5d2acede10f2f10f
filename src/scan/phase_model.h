#pragma once
// The generator's phase drift over one repetition, modelled from its reference (O) slots.
//
// A straight line is fitted to the unwrapped phase of W1 (the O slot before the A slot); then a
// second straight line to the residual phase of W1 and W3 after removing that line (the line is
// removed by a unit phasor advanced by complex multiplication, not by sine and cosine per
// sample). The model is the sum of both lines: φ(k) = model(k − origin), origin = W1's first
// sample, radians per decimated sample index. Phases are taken with the table arctangent.
//
// The residual is a line, not a parabola: W1 and W3 are two short clusters either side of the
// A slot, and a parabola through them takes its curvature from the slopes within the clusters.
// Its value in the middle of W2 then carries 13 times (first frequency of a group: 18 times) the
// noise variance of the line's, which with the reference 60 dB above the noise within 20 kHz
// scatters a 500 Ω load's X by ±3 Ω per repetition. The line follows a constant
// frequency error exactly and interpolates a slow random phase walk as well as the samples
// allow; a frequency drift d(Δf)/dt leaves π·(d(Δf)/dt)·d² at the A slot, d the distance from
// the A slot's middle to the O slots' middles (0.1 mrad for 8 Hz/s at d = 2 ms).
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
  // Stage 2: the residual line on W1 and W3; afterwards Phase() and Rate() use the model.
  void FitResidual(const FftComplex* X, SampleWindow w1, SampleWindow w3);

  int64_t Origin() const { return origin_; }
  // φ(k), radians.
  double Phase(int64_t k) const { return c0_ + x(k) * c1_; }
  // φ at a fractional sample position k, radians.
  double PhaseAt(double k) const {
    return c0_ + (k - static_cast<double>(origin_)) * c1_;
  }
  // dφ/dk at the (possibly fractional) sample position k, radians per decimated sample (the
  // model's slope, the same everywhere).
  double Rate(double /*k*/) const { return c1_; }
  bool Finite() const;

 private:
  double x(int64_t k) const { return static_cast<double>(k - origin_); }
  void Residual(const FftComplex* X, SampleWindow w, double* prev, double* unwrapped);

  OKorrPolyCreater ref_, res_;
  int64_t origin_ = 0;
  double c0_ = 0, c1_ = 0;
};

}  // namespace kavu
