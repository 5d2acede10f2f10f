#include "results/touchstone_s1p.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/num_convert.h"
#include "platform/number_text.h"

namespace kavu {
namespace {

// The shortest text that reads back as the same double.
std::string Shortest(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool Finite(std::complex<double> c) { return std::isfinite(c.real()) && std::isfinite(c.imag()); }

}  // namespace

std::string TouchstoneOptionLine(double z0_ohm) { return "# Hz S RI R " + Shortest(z0_ohm); }

TouchstoneText TouchstoneS1p(std::span<const ImpedanceRow> rows, double z0_ohm,
                             const std::vector<std::string>& comments) {
  TouchstoneText out;
  struct Entry {
    int64_t hz;
    const ImpedanceRow* row;
  };
  std::vector<Entry> entries;
  entries.reserve(rows.size());
  for (const ImpedanceRow& r : rows) {
    const auto hz = RoundToInt64(r.freq_hz);
    if (!hz || *hz < 0 || !Finite(r.z) || !Finite(r.gamma)) {
      ++out.left_out_not_finite;
      continue;
    }
    entries.push_back({*hz, &r});
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.hz < b.hz; });
  for (std::string c : comments) {
    std::replace_if(c.begin(), c.end(), [](char ch) { return ch == '\n' || ch == '\r'; }, ' ');
    out.text += "! " + c + "\n";
  }
  out.text += TouchstoneOptionLine(z0_ohm) + "\n";
  bool any = false;
  int64_t previous = 0;
  for (const Entry& e : entries) {
    if (any && e.hz == previous) {
      ++out.left_out_repeated;
      continue;
    }
    out.text += std::to_string(e.hz) + ' ' + FormatG(e.row->gamma.real(), 12) + ' ' +
                FormatG(e.row->gamma.imag(), 12) + '\n';
    previous = e.hz;
    any = true;
    ++out.written;
  }
  return out;
}

}  // namespace kavu
