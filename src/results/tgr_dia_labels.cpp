// Grid label texts of TGrDia in its eight value formats.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/number_text.h"
#include "results/tgr_dia.h"

namespace kavu {
namespace {

// Removes trailing zeros after a decimal point, then a bare point.
std::string StripZeros(std::string s) {
  if (s.find('.') == std::string::npos) return s;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

int Digits(int32_t p) { return p < 0 ? std::min(-p, 15) : 0; }

std::string Scientific(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 9);
  return std::string(buf, r.ptr);
}

// Spaces every three digits left of the point, never right after a leading minus.
std::string GroupThousands(const std::string& s) {
  const size_t point = s.find('.');
  if (s.find_first_of("eE") != std::string::npos || std::count(s.begin(), s.end(), '.') > 1) return s;
  const size_t end = point == std::string::npos ? s.size() : point;
  const size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
  std::string out = s.substr(0, start);
  for (size_t i = start; i < end; ++i) {
    if (i > start && (end - i) % 3 == 0) out += ' ';
    out += s[i];
  }
  return out + s.substr(end);
}

struct Rounded {
  bool negative;
  double value;  // |v| rounded to the precision
  int digits;
  double unit;
};

Rounded RoundAbs(double v, int32_t p) {
  const int digits = Digits(p);
  const double u = std::pow(10.0, -digits);
  return {v < 0, std::floor((std::fabs(v) + u / 2) / u) * u, digits, u};
}

std::string Seconds(double s, int digits, int width) {
  std::string t = FormatFixed(s, digits);
  if (static_cast<int>(t.size()) < width) t.insert(0, static_cast<size_t>(width - static_cast<int>(t.size())), '0');
  return StripZeros(t);
}

// |v| rounded and split into units of 3600, of 60 within them, and the rest.
struct Sexagesimal {
  Rounded r;
  long long big, mid;
  double rest;
};

Sexagesimal Split(double v, int32_t p) {
  const Rounded r = RoundAbs(v, p);
  const auto big = static_cast<long long>(std::floor(r.value / 3600));
  const auto mid = static_cast<long long>(std::floor((r.value - 3600.0 * big) / 60));
  return {r, big, mid, r.value - 3600.0 * big - 60.0 * mid};
}

std::string HoursMinutesSeconds(double v, int32_t p) {
  const auto [r, h, m, s] = Split(v, p);
  if (r.value == 0) return "0";
  std::string out = r.negative ? "-" : "";
  if (s < r.unit / 2) {
    if (h != 0 && m != 0) return out + std::to_string(h) + " ч " + std::to_string(m) + " мин";
    if (m != 0) return out + std::to_string(m) + " мин";
    return out + std::to_string(h) + " ч";
  }
  const int width = r.digits > 0 ? r.digits + 3 : 2;
  if (h != 0) {
    std::string mm = std::to_string(m);
    if (mm.size() < 2) mm.insert(0, "0");
    return out + std::to_string(h) + ":" + mm + ":" + Seconds(s, r.digits, width);
  }
  if (m != 0) return out + std::to_string(m) + ":" + Seconds(s, r.digits, width);
  return out + StripZeros(FormatFixed(s, r.digits));
}

std::string DegreesMinutesSeconds(double v, int32_t p) {
  const auto [r, d, m, s] = Split(v, p);
  if (r.value == 0) return "0";
  std::string out = r.negative ? "-" : "";
  if (d != 0) out += std::to_string(d) + "° ";
  if (m != 0) out += std::to_string(m) + "' ";
  if (s >= r.unit / 2) out += StripZeros(FormatFixed(s, r.digits)) + "\"";
  return out;
}

}  // namespace

std::string TGrDia::FormatLabel(int format, double v, int32_t p) {
  if (!(v > -1e10 && v < 1e10)) return Scientific(v);
  if (format == 4 || format == 5) return HoursMinutesSeconds(v - 86400 * std::floor(v / 86400), p);
  if (format == 3) return DegreesMinutesSeconds(v, p);
  std::string s = StripZeros(FormatFixed(v, Digits(p)));
  if (s == "-0") s = "0";
  return format == 1 ? GroupThousands(s) : s;
}

}  // namespace kavu
