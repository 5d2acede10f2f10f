#include "sim/touchstone_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/number_text.h"

namespace kavu::sim {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> w;
  std::istringstream in{std::string(line)};
  for (std::string t; in >> t;) w.push_back(t);
  return w;
}

struct Options {
  double unit = 1e9;
  char param = 'S';
  std::string format = "MA";
  double r = 50.0;
};

bool ParseOptions(const std::vector<std::string>& words, Options& o, std::string& why) {
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string w = Upper(words[i]);
    if (w == "HZ") o.unit = 1;
    else if (w == "KHZ") o.unit = 1e3;
    else if (w == "MHZ") o.unit = 1e6;
    else if (w == "GHZ") o.unit = 1e9;
    else if (w == "S" || w == "Z" || w == "Y") o.param = w[0];
    else if (w == "RI" || w == "MA" || w == "DB") o.format = w;
    else if (w == "R" && i + 1 < words.size()) {
      const auto r = ParseRealWhole(words[++i]);
      if (!r || *r <= 0) {
        why = "сопротивление R '" + words[i] + "' должно быть числом больше 0";
        return false;
      }
      o.r = *r;
    } else {
      why = "непонятный параметр '" + words[i] + "' в строке опций";
      return false;
    }
  }
  return true;
}

std::complex<double> ToImpedance(const Options& o, double a, double b) {
  std::complex<double> v;
  if (o.format == "RI") {
    v = {a, b};
  } else {
    const double mag = o.format == "DB" ? std::pow(10.0, a / 20.0) : a;
    v = std::polar(mag, b * std::numbers::pi / 180.0);
  }
  if (o.param == 'Z') return v * o.r;
  if (o.param == 'Y') return 1.0 / (v / o.r);
  return o.r * (1.0 + v) / (1.0 - v);
}

}  // namespace

std::optional<std::vector<TouchstonePoint>> ParseTouchstone1(std::string_view text, std::string* error) {
  Options o;
  bool have_options = false;
  std::vector<TouchstonePoint> points;
  int line_no = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "Touchstone, строка " + std::to_string(line_no) + ": " + why;
    return std::nullopt;
  };
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (const size_t bang = line.find('!'); bang != std::string_view::npos) line = line.substr(0, bang);
    const auto words = Words(line);
    if (words.empty()) continue;
    if (words[0][0] == '#') {
      if (have_options) return fail("вторая строка опций");
      std::vector<std::string> w = words;
      if (w[0].size() > 1) w.insert(w.begin() + 1, w[0].substr(1));
      std::string why;
      if (!ParseOptions(w, o, why)) return fail(why);
      have_options = true;
      continue;
    }
    if (words.size() != 3) return fail("ожидались 3 числа (однопортовый файл), а их " + std::to_string(words.size()));
    double v[3];
    for (int i = 0; i < 3; ++i) {
      const auto x = ParseRealWhole(words[static_cast<size_t>(i)]);
      if (!x) return fail("не число '" + words[static_cast<size_t>(i)] + "'");
      v[i] = *x;
    }
    const double hz = v[0] * o.unit;
    if (std::isinf(hz)) return fail("частота не конечна");
    if (!(hz >= 0) || (!points.empty() && hz <= points.back().hz)) {
      return fail("частоты должны возрастать");
    }
    const std::complex<double> z = ToImpedance(o, v[1], v[2]);
    if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) return fail("импеданс не конечен");
    points.push_back({hz, z});
  }
  if (points.empty()) {
    if (error) *error = "Touchstone: в файле нет точек";
    return std::nullopt;
  }
  return points;
}

std::optional<std::vector<TouchstonePoint>> ReadTouchstone1(const std::string& path, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    if (error) *error = "не удалось прочитать файл '" + path + "'";
    return std::nullopt;
  }
  std::string why;
  auto r = ParseTouchstone1(text, &why);
  if (!r && error) *error = path + ": " + why;
  return r;
}

std::complex<double> InterpolateImpedance(const std::vector<TouchstonePoint>& points, double hz) {
  if (hz <= points.front().hz || !std::isfinite(hz)) return points.front().z;
  if (hz >= points.back().hz) return points.back().z;
  const auto it = std::upper_bound(points.begin(), points.end(), hz,
                                   [](double f, const TouchstonePoint& p) { return f < p.hz; });
  const TouchstonePoint& b = *it;
  const TouchstonePoint& a = *(it - 1);
  const double t = (hz - a.hz) / (b.hz - a.hz);
  return a.z + t * (b.z - a.z);
}

}  // namespace kavu::sim
