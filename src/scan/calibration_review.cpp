#include "scan/calibration_review.h"

#include <algorithm>
#include <cmath>

#include "measure/calibration.h"
#include "platform/number_text.h"
#include "scan/calibration_load_text.h"
#include "scan/range_text.h"

namespace kavu {
namespace {

constexpr size_t kMaxSpansShown = 6;
constexpr int kRatioSamples = 201;  // frequencies compared across two files' common band
constexpr const char* kSingular = ": калибровка по трём точкам из них невозможна, сопротивления не будут вычислены";
constexpr const char* kNearlySingular = ": калибровка по трём точкам из них почти вырождена, малый шум сильно искажает сопротивления";

std::string Mhz(double hz) { return FormatTrimmed(hz * 1e-6, 3); }

std::string SpansText(const std::vector<FrequencySpan>& spans) {
  std::string s;
  for (size_t i = 0; i < spans.size() && i < kMaxSpansShown; ++i) {
    if (i > 0) s += "; ";
    s += Mhz(spans[i].first);
    if (spans[i].last != spans[i].first) s += " - " + Mhz(spans[i].last);
  }
  if (spans.size() > kMaxSpansShown) s += " и ещё " + std::to_string(spans.size() - kMaxSpansShown);
  return s + " МГц";
}

double LastFrequency(const ScanRange& r) {
  switch (r.kind) {
    case RangeKind::kCount:
      return r.end - r.step / 2;
    case RangeKind::kLog:
      return r.end / std::sqrt(r.step);
    case RangeKind::kPlain:
      break;
  }
  if (r.end < r.start) return r.start;
  return r.start + std::floor((r.end - r.start) / r.step + 1e-9) * r.step;
}

double Low(const CalibrationTable& t) { return std::min(t.FirstHz(), t.LastHz()); }
double High(const CalibrationTable& t) { return std::max(t.FirstHz(), t.LastHz()); }

bool SameScan(const CalibrationTable& a, const CalibrationTable& b) {
  if (a.Count() != b.Count() || a.FirstHz() != b.FirstHz() || a.LastHz() != b.LastHz()) return false;
  for (int32_t i = 0; i < a.Count(); ++i) {
    if (a.Ratio(i) != b.Ratio(i)) return false;
  }
  return true;
}

std::string Pair(size_t i, size_t j) { return std::to_string(i + 1) + " и " + std::to_string(j + 1); }

// The smallest difference of the two files' smoothed ratios over their common band, relative to
// the largest ratio of the used files there; the frequency where it is smallest.
struct Nearest {
  double fraction = INFINITY;
  double f_hz = 0;
};

Nearest NearestRatios(const Calibration& cal, size_t i, size_t j, double lo, double hi) {
  const CalibrationTable& a = cal.Table(static_cast<int>(i));
  const CalibrationTable& b = cal.Table(static_cast<int>(j));
  Nearest best;
  for (int k = 0; k < kRatioSamples; ++k) {
    const double f = lo + (hi - lo) * k / (kRatioSamples - 1);
    const auto ca = a.Interpolate(a.RatioTable(), f);
    const auto cb = b.Interpolate(b.RatioTable(), f);
    double scale = 0;
    for (int t = 0; t < 3; ++t) {
      const CalibrationTable& c = cal.Table(t);
      if (c.IsValid()) scale = std::max(scale, std::abs(c.Interpolate(c.RatioTable(), f)));
    }
    const double d = std::abs(ca - cb) / std::max(scale, 1e-300);
    if (std::isfinite(d) && d < best.fraction) best = {d, f};
  }
  return best;
}

}  // namespace

std::vector<FrequencySpan> PlanSpans(std::string_view range_text) {
  std::vector<FrequencySpan> out;
  for (const ScanRange& r : ParseRanges(range_text, false).ranges) {
    out.push_back({r.start, std::max(r.start, LastFrequency(r))});
  }
  return out;
}

std::vector<FrequencySpan> UncoveredSpans(const CalibrationTable& table, const std::vector<FrequencySpan>& plan) {
  std::vector<FrequencySpan> out;
  if (!table.IsValid()) return out;
  const double lo = Low(table), hi = High(table), tol = std::fabs(table.StepHz()) / 2;
  for (const FrequencySpan& s : plan) {
    if (s.last < lo - tol || s.first > hi + tol) {
      out.push_back(s);
      continue;
    }
    if (s.first < lo - tol) out.push_back({s.first, lo});
    if (s.last > hi + tol) out.push_back({hi, s.last});
  }
  return out;
}

std::string CoverageText(const CalibrationTable& table, const std::vector<FrequencySpan>& plan) {
  if (!table.IsValid()) return "";
  if (plan.empty()) return "план сканирования не задан";
  const std::vector<FrequencySpan> out = UncoveredSpans(table, plan);
  if (out.empty()) return "план сканирования " + SpansText(plan) + " внутри файла";
  return "вне файла: " + SpansText(out) + " (там действуют крайние точки файла)";
}

std::vector<std::string> CalibrationWarnings(const Calibration& cal) {
  std::vector<std::string> out;
  const CalibrationSetup& s = cal.Setup();
  if (s.cal_type != 1) return out;
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = i + 1; j < 3; ++j) {
      if (s.loads_ohm[i] == s.loads_ohm[j]) {
        out.push_back("Файлам " + Pair(i, j) + " задана одна и та же нагрузка " +
                      FormatCalibrationLoad(s.loads_ohm[i]) + kSingular);
      }
      const CalibrationTable& a = cal.Table(static_cast<int>(i));
      const CalibrationTable& b = cal.Table(static_cast<int>(j));
      if (!a.IsValid() || !b.IsValid()) continue;
      if (SameScan(a, b)) {
        out.push_back("Файлы " + Pair(i, j) + " — одно и то же сканирование" + kSingular);
        continue;
      }
      const double lo = std::max(Low(a), Low(b)), hi = std::min(High(a), High(b));
      if (lo > hi) {
        out.push_back("У файлов " + Pair(i, j) + " нет общих частот: калибровка по трём точкам из них неверна");
        continue;
      }
      const Nearest n = NearestRatios(cal, i, j, lo, hi);
      if (n.fraction < kNearRatioFraction) {
        out.push_back("Файлы " + Pair(i, j) + " измеряют почти одно и то же сопротивление (на " + Mhz(n.f_hz) +
                      " МГц отношения A/O различаются на " + FormatTrimmed(n.fraction * 100, 2) + "\u00a0%)" + kNearlySingular);
      }
    }
  }
  return out;
}

}  // namespace kavu
