#pragma once
// One computed point of a scan for the impedance exports: what the scan side computes from a
// point (bridge, calibration, cable) and the writers turn into text. Any value may be non-finite
// when the measurement or the computation failed.
#include <complex>

namespace kavu {

struct ImpedanceRow {
  double freq_hz = 0;           // generator frequency, Hz
  std::complex<double> z;       // R + jX, ohms
  std::complex<double> gamma;   // reflection coefficient against Z0
  double swr = 0;               // standing-wave ratio (100000 when |Γ| > 0.99999)
};

}  // namespace kavu
