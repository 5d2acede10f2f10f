#pragma once
// The virtual bench's antenna: the load on the bridge's antenna port, as an impedance over
// frequency. Written as text (the command line's --sim LOAD):
//   "75", "25-30j", "25+30j", "25-j30"          a fixed R + jX, Ω
//   "series:R=10,L=1.2u,C=47p"                  R, L and C in series (a missing part: none)
//   "parallel:R=200,L=0.5u,C=100p"              R, L and C in parallel (a missing part: none)
//   a path ending in ".s1p" (any case)          a Touchstone v1 one-port file, interpolated
// Values take the suffixes p, n, u, m, k, M, G; L in henries, C in farads.
#include <complex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/touchstone_reader.h"

namespace kavu::sim {

// The demo's antenna: a series R-L-C resonant at 145 MHz (50 Ω there), 100 nH with 12.05 pF.
inline constexpr const char* kDemoAntennaText = "series:R=50,L=100n,C=12.05p";

class AntennaModel {
 public:
  // A fixed 50 Ω load.
  AntennaModel() = default;
  // Parses a load text; nullopt with the reason in *error when it is not understood.
  static std::optional<AntennaModel> Parse(std::string_view text, std::string* error);
  static AntennaModel Fixed(std::complex<double> z);

  // The load's impedance at f (Hz), Ω.
  std::complex<double> Impedance(double hz) const;
  // The text it was made from.
  const std::string& Text() const { return text_; }

 private:
  enum class Kind { kFixed, kSeries, kParallel, kTable };
  Kind kind_ = Kind::kFixed;
  std::complex<double> z_{50.0, 0.0};
  double r_ = 0, l_ = 0, c_ = 0;  // RLC parts; 0 = missing
  std::vector<TouchstonePoint> table_;
  std::string text_ = "50";
};

// A real with an optional SI suffix (p n u m k M G): "47p" → 4.7e-11.
std::optional<double> ParseSiValue(std::string_view text);

}  // namespace kavu::sim
