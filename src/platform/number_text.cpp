#include "platform/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace kavu {
namespace {

std::string_view SkipBlanks(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' ||
                        t.front() == '\r' || t.front() == '\v' || t.front() == '\f')) {
    t.remove_prefix(1);
  }
  return t;
}

std::string NonFinite(double v) {
  if (std::isnan(v)) return "nan";
  return v < 0 ? "-inf" : "inf";
}

}  // namespace

std::string FormatG(double v, int precision) {
  if (!std::isfinite(v)) return NonFinite(v);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  return std::string(buf, r.ptr);
}

std::string FormatFixed(double v, int decimals) {
  if (!std::isfinite(v)) return NonFinite(v);
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return FormatG(v, 17);
  return std::string(buf, r.ptr);
}

std::string FormatTrimmed(double v, int decimals) {
  std::string s = FormatFixed(v, decimals);
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s.erase(0, 1);  // a value that rounds to zero shows without a sign
  return s;
}

std::optional<double> ParseReal(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would accept "nan"/"inf"; those are refused anyway, and a second sign is not
  // a number.
  if (text.empty() || text.front() == '+' || text.front() == '-') return {};
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(v)) return {};
  return negative ? -v : v;
}

std::optional<double> ParseRealWhole(std::string_view text) {
  text = SkipBlanks(text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.front() == '+' || digits.front() == '-') return {};
  double v = 0;
  auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v,
                           std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != digits.data() + digits.size() || !std::isfinite(v)) return {};
  return text.front() == '-' ? -v : v;
}

std::optional<int32_t> ParseInt(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc()) return {};
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return {};
  return static_cast<int32_t>(v);
}

}  // namespace kavu
