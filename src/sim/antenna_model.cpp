#include "sim/antenna_model.h"

#include <cctype>
#include <cmath>
#include <numbers>

#include "platform/number_text.h"

namespace kavu::sim {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
  }
  return true;
}

// "R+Xj", "R-Xj", "R+jX", "R-jX", "R".
std::optional<std::complex<double>> ParseComplex(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  if (s.back() != 'j' && s.back() != 'J') {
    if (s.find_first_of("jJ") != std::string_view::npos) {
      // "R+jX" form
      const size_t j = s.find_first_of("jJ");
      if (j == 0) return std::nullopt;
      const char sign = s[j - 1];
      if (sign != '+' && sign != '-') return std::nullopt;
      const auto r = ParseRealWhole(s.substr(0, j - 1));
      const auto x = ParseRealWhole(s.substr(j + 1));
      if (!r || !x) return std::nullopt;
      return std::complex<double>(*r, sign == '-' ? -*x : *x);
    }
    const auto r = ParseRealWhole(s);
    if (!r) return std::nullopt;
    return std::complex<double>(*r, 0.0);
  }
  s.remove_suffix(1);
  const size_t sign = s.find_last_of("+-");
  if (sign == std::string_view::npos || sign == 0) return std::nullopt;
  const auto r = ParseRealWhole(s.substr(0, sign));
  auto x = ParseRealWhole(s.substr(sign + 1));
  if (s.substr(sign + 1).empty()) x = 1.0;
  if (!r || !x) return std::nullopt;
  return std::complex<double>(*r, s[sign] == '-' ? -*x : *x);
}

}  // namespace

std::optional<double> ParseSiValue(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  double scale = 1;
  switch (text.back()) {
    case 'p': scale = 1e-12; break;
    case 'n': scale = 1e-9; break;
    case 'u': scale = 1e-6; break;
    case 'm': scale = 1e-3; break;
    case 'k': scale = 1e3; break;
    case 'M': scale = 1e6; break;
    case 'G': scale = 1e9; break;
    default: break;
  }
  if (scale != 1) text.remove_suffix(1);
  const auto v = ParseRealWhole(text);
  if (!v) return std::nullopt;
  return *v * scale;
}

AntennaModel AntennaModel::Fixed(std::complex<double> z) {
  AntennaModel m;
  m.z_ = z;
  m.text_ = FormatG(z.real(), 9) + (z.imag() < 0 ? "-" : "+") + FormatG(std::abs(z.imag()), 9) + "j";
  return m;
}

std::optional<AntennaModel> AntennaModel::Parse(std::string_view text, std::string* error) {
  const std::string_view t = Trim(text);
  AntennaModel m;
  m.text_ = std::string(t);
  auto fail = [&](const std::string& why) {
    if (error) *error = "нагрузка '" + std::string(t) + "': " + why;
    return std::nullopt;
  };
  if (EndsWithNoCase(t, ".s1p")) {
    std::string why;
    auto table = ReadTouchstone1(std::string(t), &why);
    if (!table) return fail(why);
    m.kind_ = Kind::kTable;
    m.table_ = std::move(*table);
    return m;
  }
  const bool series = t.rfind("series:", 0) == 0;
  const bool parallel = t.rfind("parallel:", 0) == 0;
  if (series || parallel) {
    m.kind_ = series ? Kind::kSeries : Kind::kParallel;
    std::string_view rest = t.substr(series ? 7 : 9);
    bool any = false;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string_view part = Trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      if (part.size() < 3 || part[1] != '=') return fail("ожидалось R=…, L=… или C=…");
      const auto v = ParseSiValue(part.substr(2));
      if (!v || *v < 0) return fail("значение '" + std::string(part) + "' должно быть числом не меньше 0");
      switch (part[0]) {
        case 'R': case 'r': m.r_ = *v; break;
        case 'L': case 'l': m.l_ = *v; break;
        case 'C': case 'c': m.c_ = *v; break;
        default: return fail("неизвестный элемент '" + std::string(part) + "'");
      }
      any = true;
    }
    if (!any) return fail("не заданы R, L, C");
    if (parallel && m.r_ == 0 && m.l_ == 0 && m.c_ == 0) return fail("пустая параллельная цепь");
    return m;
  }
  const auto z = ParseComplex(t);
  if (!z || !std::isfinite(z->real()) || !std::isfinite(z->imag())) {
    return fail("не понимаю; примеры: 75, 25-30j, series:R=10,L=1u,C=100p, parallel:R=200,C=10p, "
                "antenna.s1p");
  }
  m.z_ = *z;
  return m;
}

std::complex<double> AntennaModel::Impedance(double hz) const {
  const double w = 2.0 * std::numbers::pi * hz;
  switch (kind_) {
    case Kind::kFixed: return z_;
    case Kind::kTable: return InterpolateImpedance(table_, hz);
    case Kind::kSeries: {
      std::complex<double> z(r_, w * l_);
      if (c_ > 0) z += std::complex<double>(0.0, -1.0 / (w * c_));
      return z;
    }
    case Kind::kParallel: {
      std::complex<double> y(0.0, w * c_);
      if (r_ > 0) y += 1.0 / r_;
      if (l_ > 0) y += std::complex<double>(0.0, -1.0 / (w * l_));
      return 1.0 / y;
    }
  }
  return z_;
}

}  // namespace kavu::sim
