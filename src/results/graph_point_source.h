#pragma once
// What the result lines need beyond the stored points: the impedance of a point (bridge model,
// calibration, cable) and the calibration corrections of single quantities. The results window
// implements it on top of the impedance computation; tests give fixed values.
#include <complex>
#include <cstdint>

#include "results/ant_izms.h"

namespace kavu {

class IGraphPointSource {
 public:
  virtual ~IGraphPointSource() = default;
  // R + jX of point `index` of `set` in Ω: the second-channel corrections when the set has them
  // and the panel asks for them; through the cable when `cable` is set.
  virtual std::complex<double> Impedance(const AntIzms& set, int64_t index, bool cable) const = 0;
  // Calibration corrections at frequency f (Hz), subtracted by the lines that carry them: the
  // |A/O| ratio (dB), the phase (rad, −π … π; the caller brings the difference back into that
  // range) and input level `which` (0: |O| − gain, 1: |O|ПФ − gain; dB). 0 while the
  // calibration that provides them is off; NaN where it has no value (the point is missing).
  virtual double RatioCorrectionDb(double f_hz) const { (void)f_hz; return 0; }
  virtual double PhaseCorrectionRad(double f_hz) const { (void)f_hz; return 0; }
  virtual double LevelCorrectionDb(int which, double f_hz) const { (void)which, (void)f_hz; return 0; }
};

}  // namespace kavu
