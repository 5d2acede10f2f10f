#include "scan/range_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

bool IsGap(unsigned char c) { return c <= ' ' || c == ';'; }

// One number of the text, the way "%lf" reads it; `bad` is set when the token holds a value
// that is not finite ("nan", "inf", an overflowing exponent).
struct Token {
  double value = -1;
  bool bad = false;
  std::string text;
};

bool IsNonFinite(const std::string& t) {
  std::string_view v = t;
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) v.remove_prefix(1);
  double d = 0;
  const auto r = std::from_chars(v.data(), v.data() + v.size(), d);
  if (r.ec == std::errc::result_out_of_range) return true;  // overflow: %lf would give inf
  return r.ec == std::errc() && !std::isfinite(d);
}

class Reader {
 public:
  explicit Reader(std::string s) : s_(std::move(s)) {}

  Token Number() {
    while (pos_ < s_.size() && IsGap(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    const size_t b = pos_;
    while (pos_ < s_.size() && !IsGap(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    Token t;
    t.text = s_.substr(b, pos_ - b);
    if (const auto v = ParseReal(t.text)) {
      t.value = *v;
    } else if (IsNonFinite(t.text)) {
      t.bad = true;
    }
    return t;
  }
  void SkipGaps() {
    while (pos_ < s_.size() && IsGap(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Take(char lower) {
    if (pos_ < s_.size() && std::tolower(static_cast<unsigned char>(s_[pos_])) == lower) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipGaps();
    return pos_ >= s_.size();
  }

 private:
  std::string s_;
  size_t pos_ = 0;
};

void Refuse(ParsedRanges& out, std::string line, bool log) {
  if (log) LogRed(line);
  out.refusals.push_back(std::move(line));
}

void LogRange(int index, const ScanRange& r) {
  Log() << "Диапазон " << index << ": " << r.start / 1e6 << " - " << r.end / 1e6 << " шаг "
        << (r.isLog ? r.step : r.step / 1e6) << " IsLog=" << r.isLog
        << " fstype=" << static_cast<int>(r.kind) << "\n";
}

}  // namespace

ParsedRanges ParseRanges(std::string_view text, bool log) {
  std::string s(text);
  std::replace(s.begin(), s.end(), ',', '.');
  std::replace(s.begin(), s.end(), '-', ' ');
  Reader in(std::move(s));
  ParsedRanges out;
  std::vector<std::string> surplus;
  for (;;) {
    const Token S = in.Number();
    const Token E = in.Number();
    in.SkipGaps();
    bool count = in.Take('n');
    const bool log = in.Take('l');
    const Token B = in.Number();
    const std::string group = S.text + "-" + E.text + " " + (count ? "N" : "") + (log ? "L" : "") + B.text;
    if (S.bad || E.bad || B.bad) {
      Refuse(out, "Диапазон '" + group + "' не принят: число не конечно\n", log);
      break;
    }
    if (S.value <= 0 || E.value <= 0 || B.value <= 0) break;
    count = count || log;
    if (count && (B.value < 1 || E.value < S.value)) break;
    ScanRange r;
    r.start = S.value * 1e6;
    if (log) {
      r.kind = RangeKind::kLog;
      r.isLog = 1;
      r.step = std::pow(E.value / S.value, 1.0 / std::max(B.value - 1, 1.0));
      r.end = E.value * 1e6 * std::sqrt(r.step);
    } else if (count) {
      r.kind = RangeKind::kCount;
      r.step = (E.value - S.value) * 1e6 / std::max(B.value - 1, 1.0);
      r.end = E.value * 1e6 + r.step / 2;
    } else {
      r.step = B.value * 1e6;
      r.end = E.value * 1e6;
    }
    // Numbers that are finite in MHz can still overflow in Hz ("1e303-1e304 1").
    if (!std::isfinite(r.start) || !std::isfinite(r.end) || !std::isfinite(r.step)) {
      Refuse(out, "Диапазон '" + group + "' не принят: число не конечно\n", log);
      break;
    }
    if (!count && r.end >= r.start && !(r.end + r.step > r.end)) {
      Refuse(out, "Диапазон '" + group + "' не принят: шаг не меняет частоту\n", log);
      break;
    }
    if (static_cast<int>(out.ranges.size()) >= kMaxScanRanges) {
      surplus.push_back(group);
      continue;
    }
    if (log) LogRange(static_cast<int>(out.ranges.size()), r);
    out.ranges.push_back(r);
  }
  if (!surplus.empty()) {
    std::string line = "Диапазонов больше " + std::to_string(kMaxScanRanges) + ", не используются:";
    for (const auto& g : surplus) line += " " + g;
    Refuse(out, line + "\n", log);
  }
  return out;
}

}  // namespace kavu
