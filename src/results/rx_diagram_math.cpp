#include "results/rx_diagram_math.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>

#include "platform/number_text.h"

namespace kavu {
namespace {

double K(double theta) { return 0.9 + 0.1 * std::cos(theta); }

// One channel as the palette takes it: the integer part, then × 190 / 256.
uint8_t Channel(double v) {
  const int i = std::clamp(static_cast<int>(v), 0, 255);
  return static_cast<uint8_t>(i * 190 / 256);
}

bool Finite(double v) { return std::isfinite(v); }

// The first number of a list: where it starts and ends in the text, and its value.
struct FirstNumber {
  size_t begin = 0, end = 0;
  std::optional<double> value;
};

// Reads one number at `pos` of a list text (blanks, '-' skipped first; ',' read as '.').
FirstNumber ReadNumberAt(const std::string& text, size_t pos) {
  FirstNumber r;
  while (pos < text.size() && (std::isspace(static_cast<unsigned char>(text[pos])) || text[pos] == '-')) ++pos;
  r.begin = r.end = pos;
  std::string token;
  size_t end = pos;
  if (end < text.size() && text[end] == '+') ++end;
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != '-') {
    token += text[end] == ',' ? '.' : text[end];
    ++end;
  }
  if (token.empty()) return r;
  double v = 0;
  const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
  if (ec != std::errc() || ptr == token.data() || !Finite(v)) return r;
  r.value = v;
  // Text glued behind the number ("2abc") ends the list after it.
  r.end = pos + static_cast<size_t>(ptr - token.data()) + (text[pos] == '+' ? 1 : 0);
  return r;
}

}  // namespace

RgbColour RxPaletteEntry(int i) {
  i = std::clamp(i, 0, kRxPaletteSize - 1);
  const double pi = std::numbers::pi;
  const double v = (1.0 - i / 1024.0) * 5.0 / 6.0;
  const double s = 6.0 * v;
  double r = 0, g = 0, b = 0;
  if (v < 1.0 / 6.0) {
    r = 255 * K(pi * (1 - s));
    g = 255 * K(pi * (1 - s)) * std::sqrt(s);
  } else if (v < 1.0 / 3.0) {
    r = 255 * K(pi * (s - 1)) * std::sqrt(2 - s);
    g = 255 * K(pi * (s - 1));
  } else if (v < 0.5) {
    g = 255 * K(pi * (3 - s));
    b = 255 * K(pi * (3 - s)) * std::sqrt(s - 2);
  } else if (v < 2.0 / 3.0) {
    g = 255 * std::sqrt(4 - s);
    b = 255;
  } else {
    b = s >= 5 ? 0 : 254;
  }
  return {Channel(r), Channel(g), Channel(b)};
}

int RxPaletteIndex(int colour_type, double f_mhz, double fmin, double fmax, int n, int count) {
  double w = 0;
  if (fmax > fmin && Finite(f_mhz)) w = std::clamp((f_mhz - fmin) / (fmax - fmin), 0.0, 1.0);
  if (colour_type == kRxColourFileFrequency && count > 0) w = (w + n) / count;
  return std::clamp(static_cast<int>(w * kRxPaletteSize), 0, kRxPaletteSize - 1);
}

std::vector<double> ParseRxList(const std::string& text) {
  std::vector<double> out;
  size_t pos = 0;
  while (static_cast<int>(out.size()) < kRxListMax) {
    const FirstNumber n = ReadNumberAt(text, pos);
    if (!n.value) break;
    out.push_back(*n.value);
    if (n.end < text.size() && !std::isspace(static_cast<unsigned char>(text[n.end])) && text[n.end] != '-') break;
    pos = n.end;
  }
  return out;
}

std::optional<RxCircle> RxSwrCircle(double s, double rc) {
  if (!Finite(s) || !Finite(rc) || s <= 1 || rc <= 0) return std::nullopt;
  return RxCircle{rc * (s + 1 / s) / 2, 0, rc * (s - 1 / s) / 2};
}

std::optional<RxCircle> GammaSwrCircle(double s, double rc, double z0) {
  if (!Finite(s) || !Finite(rc) || !Finite(z0) || s <= 1 || rc <= 0 || z0 <= 0) return std::nullopt;
  const double g1 = RxGamma(rc / s, z0).real();
  const double g2 = RxGamma(rc * s, z0).real();
  return RxCircle{(g1 + g2) / 2, 0, std::abs(g2 - g1) / 2};
}

std::complex<double> RxGamma(std::complex<double> z, double z0) { return (z - z0) / (z + z0); }

RxRange RxDataRange(double lowest_mhz, double highest_mhz, bool any) {
  if (!any || !Finite(lowest_mhz) || !Finite(highest_mhz)) return {};
  return {static_cast<int>(std::floor(lowest_mhz)), static_cast<int>(std::ceil(highest_mhz))};
}

std::string RxTitle(RxRange range, bool circle_mode, double z0) {
  std::string t = "Диапазон данных " + std::to_string(range.lo) + " - " + std::to_string(range.hi) + " МГц";
  if (circle_mode) t += ", Z0 = " + FormatTrimmed(z0, 3) + " Ом";
  return t;
}

std::vector<std::string> RxReadout(std::complex<double> gamma, double z0) {
  const double m = std::abs(gamma);
  if (!Finite(m) || m >= 1) return {};
  const std::complex<double> z = z0 * (1.0 + gamma) / (1.0 - gamma);
  return {"Г=" + FormatFixed(gamma.real(), 3) + ", " + FormatFixed(gamma.imag(), 3),
          "|Г|=" + FormatFixed(m, 3) + ", ксв=" + FormatFixed((1 + m) / (1 - m), 2),
          "fi=" + FormatFixed(std::arg(gamma) * 180.0 / std::numbers::pi, 3),
          "Z=" + FormatFixed(z.real(), 3) + ", " + FormatFixed(z.imag(), 3) + " "};
}

std::string StepFirstNumber(const std::string& text, int steps, double lo, double hi, double start) {
  const FirstNumber n = ReadNumberAt(text, 0);
  const double v = std::clamp(n.value.value_or(start) + 0.1 * steps, lo, hi);
  const std::string rest = n.value ? text.substr(n.end) : (text.empty() ? "" : " " + text);
  return FormatFixed(v, 1) + rest;
}

std::string PrependToList(double value, const std::string& text) { return FormatTrimmed(value, 6) + " " + text; }

}  // namespace kavu
