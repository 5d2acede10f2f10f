#pragma once
// Reads a one-port Touchstone version 1 file (.s1p) into impedances over frequency, for the
// virtual bench's antenna.
//
// Accepted: '!' comments anywhere, one option line "# <unit> <parameter> <format> R <ohms>" with
// unit Hz, kHz, MHz or GHz, parameter S, Z or Y, format RI, MA (magnitude, degrees) or DB (dB,
// degrees), in any order and case, each optional (defaults GHz, S, MA, R 50); then one line per
// frequency with three numbers. Z and Y values are normalised to R, as version 1 defines them.
// Frequencies must be finite (in Hz) and rise strictly. Anything else is refused with a line-numbered reason.
#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::sim {

struct TouchstonePoint {
  double hz;
  std::complex<double> z;  // impedance, Ω
};

// Parses the text of a file; on failure returns nullopt and the reason in *error.
std::optional<std::vector<TouchstonePoint>> ParseTouchstone1(std::string_view text, std::string* error);
// Reads and parses a file.
std::optional<std::vector<TouchstonePoint>> ReadTouchstone1(const std::string& path, std::string* error);

// Linear interpolation of R and X between the points; below the first point the first value,
// above the last the last. `points` must be non-empty and rising.
std::complex<double> InterpolateImpedance(const std::vector<TouchstonePoint>& points, double hz);

}  // namespace kavu::sim
