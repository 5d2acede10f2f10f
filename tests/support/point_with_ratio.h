#pragma once
// A scan point at frequency f (Hz) whose main-channel ratio A/O is `rho`, with the reference
// level at `o_db` (dB): what the bridge would have recorded for that ratio.
#include <cmath>
#include <complex>

#include "results/ant_izm.h"

namespace kavu::test {

inline AntIzm PointWithRatio(double f, std::complex<double> rho, double o_db = -30) {
  AntIzm p = EmptyAntIzm();
  p.freqHz = f;
  p.o = o_db;
  p.a = o_db + 20 * std::log10(std::abs(rho));
  p.phase = -std::arg(rho);
  return p;
}

}  // namespace kavu::test
