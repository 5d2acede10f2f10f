#pragma once
// The measuring bridge as a circuit, both ways, and what follows from an impedance.
//
// The generator feeds node A and node O through equal resistors Rt. Node O is loaded by Rb and
// by the detector branch Z1 = Rd + Rg ∥ (50 + jXc); node A by the unknown load and by an
// identical detector branch. The receiver sees both nodes through the same divider, so the
// measured ratio ρ = A/O is the ratio of the node voltages. Xc = −1/(2πfC) with C = Cs pF, or 0
// when Cs ≤ 0. All arithmetic is complex double; nothing is checked: a zero denominator gives
// infinities or NaN, which callers treat as a missing value. Impedances in Ω, frequencies in Hz.
#include <complex>

#include "measure/bridge_settings.h"

namespace kavu {

using Complex = std::complex<double>;

// a ∥ b = a·b / (a + b).
Complex Parallel(Complex a, Complex b);

// Reactance of the separating capacitor at f, Ω: 0 when Cs ≤ 0, else −1/(2πf·Cs·1e-12).
double SeparatingReactance(const BridgeSettings& s, double f_hz);

// The detector branch Z1 = Rd + Rg ∥ (50 + jXc) at f.
Complex DetectorBranch(const BridgeSettings& s, double f_hz);

// Forward model: the ratio A/O that an ideal bridge shows with load z at f. A load of 0 gives 0.
// The virtual bench, the calibration's expected ratios and the tests use it.
Complex ExpectedRatio(const BridgeSettings& s, Complex z, double f_hz);

// Inverse model: the load that makes the bridge show ratio rho at f. Exactly undoes
// ExpectedRatio (up to rounding); ρ = 1 gives Rb.
Complex SolveBridgeRatio(const BridgeSettings& s, Complex rho, double f_hz);

// Moves z through the cable: unchanged when the length is 0, else with
// t = −tan(2π·f·d / 299792458): z′ = Z0·(z + j·t·Z0) / (Z0 + j·t·z). A quarter-wave line
// (|t| infinite) gives Z0²/z.
Complex CableTransform(const BridgeSettings& s, Complex z, double f_hz);

// Γ = (z − Z0) / (z + Z0).
Complex Gamma(Complex z, double z0);
// SWR = (1 + |Γ|) / (1 − |Γ|), or 100000 when |Γ| > 0.99999.
double Swr(Complex z, double z0);

inline constexpr double kLightSpeed = 299792458.0;  // m/s
inline constexpr double kSwrCeiling = 100000.0;

}  // namespace kavu
