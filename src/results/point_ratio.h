#pragma once
// The complex ratio A/O of the bridge's two nodes as a point records it: the level difference
// in dB and the stored (negated) phase in radians.
#include <cmath>
#include <complex>

#include "results/ant_izm.h"

namespace kavu {

// 10^(level_diff_db / 20) × (cos φs − j sin φs). Because the stored phase φs is negated, the
// result is the ratio A/O itself. A level difference of −inf dB gives 0.
inline std::complex<double> RatioFromLevels(double level_diff_db, double stored_phase) {
  const double m = std::pow(10.0, level_diff_db / 20.0);
  return {m * std::cos(stored_phase), -m * std::sin(stored_phase)};
}

// The main-channel ratio of a point: |A| − |O| and the phase at offset 72.
inline std::complex<double> PointRatio(const AntIzm& p) { return RatioFromLevels(p.a - p.o, p.phase); }

}  // namespace kavu
