#pragma once
// The R and X diagram's arithmetic without a window: the frequency palette, the lists of SWR
// values and cable impedances, the circles of constant SWR in the R–X plane and in the plane of
// the reflection coefficient Γ, the title and the read-out under the pointer.
#include <complex>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavu {

struct RgbColour {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const RgbColour&) const = default;
};

// The frequency palette: 1024 entries from black (0) through blue, cyan, green and yellow to a
// dark red (1023), every channel scaled by 190/256. Indexes outside 0 … 1023 are clamped.
inline constexpr int kRxPaletteSize = 1024;
RgbColour RxPaletteEntry(int i);

// Colour modes of the diagram's data.
enum RxColourType : int { kRxColourFrequency = 0, kRxColourFile = 1, kRxColourFileFrequency = 2 };

// The palette entry of a point at f_mhz inside the window [fmin, fmax] (MHz), for the n-th of
// `count` shown sets. Frequency mode: the window mapped onto the whole palette; file+frequency
// mode: set n gets the n-th of `count` equal parts. A window of zero width (or reversed) maps
// every point to the start of its part; the result is always within 0 … 1023.
int RxPaletteIndex(int colour_type, double f_mhz, double fmin, double fmax, int n, int count);

// Reads a list typed into the SWR or cable-impedance edit: up to 16 numbers separated by blanks,
// a comma read as a decimal point and a minus sign as a separator. Reading stops at the first
// text that is not a finite number.
inline constexpr int kRxListMax = 16;
std::vector<double> ParseRxList(const std::string& text);

// A circle: centre (x, y) and radius, in the units of its plane.
struct RxCircle {
  double x = 0, y = 0, radius = 0;
};

// The circle of constant SWR s about the cable impedance rc (Ω) in the R–X plane: centre
// R = rc(s + 1/s)/2, X = 0, radius rc(s − 1/s)/2. Nothing for s ≤ 1, rc ≤ 0 or non-finite input.
std::optional<RxCircle> RxSwrCircle(double s, double rc);

// The same circle in the Γ plane against z0: the circle through Γ(rc/s) and Γ(rc·s) on the real
// axis. Nothing for s ≤ 1, rc ≤ 0, z0 ≤ 0 or non-finite input.
std::optional<RxCircle> GammaSwrCircle(double s, double rc, double z0);

// Γ = (Z − z0) / (Z + z0).
std::complex<double> RxGamma(std::complex<double> z, double z0);

// The data range in whole MHz over the frequencies given: [floor(lowest), ceil(highest)],
// 0 … 6600 when there are none.
struct RxRange {
  int lo = 0, hi = 6600;
};
RxRange RxDataRange(double lowest_mhz, double highest_mhz, bool any);

// "Диапазон данных lo - hi МГц", in the circle diagram followed by ", Z0 = <z0> Ом".
std::string RxTitle(RxRange range, bool circle_mode, double z0);

// The four read-out lines for Γ under the pointer (|Γ| < 1) against z0: "Г=re, im",
// "|Г|=m, ксв=s", "fi=degrees", "Z=R, X ". Empty when |Γ| ≥ 1 or Γ is not finite.
std::vector<std::string> RxReadout(std::complex<double> gamma, double z0);

// The spin controls: the first number of the list moved by `steps` × 0.1 and limited to
// [lo, hi], written "%0.1f" and followed by the rest of the text. A list without a first number
// starts from `start`.
std::string StepFirstNumber(const std::string& text, int steps, double lo, double hi, double start);

// A fitted value put in front of a list: the value (trailing zeros removed), a space, the old
// text. The space keeps the value and the old first number apart.
std::string PrependToList(double value, const std::string& text);

}  // namespace kavu
