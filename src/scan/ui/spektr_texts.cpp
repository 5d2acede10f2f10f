#include "scan/ui/spektr_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"

namespace kavu {
namespace {
constexpr double kSpinStepHz = 100000;
constexpr double kMinManualHz = 2500;
constexpr int kLiveBins = 2048;
}  // namespace

double SpinStepFrequency(double hz, int steps) {
  const double base = std::isfinite(hz) ? hz : kMinManualHz;
  return std::max(kMinManualHz, base + steps * kSpinStepHz);
}

double DoubleClickFrequency(double fraction, double rate_hz, double receiver_hz) {
  const double x = std::clamp(std::isfinite(fraction) ? fraction : 0.5, 0.0, 1.0);
  const double offset = (x * kLiveBins - kLiveBins / 2.0) / kLiveBins * rate_hz;
  const double f = std::floor((offset + receiver_hz) / 1000.0) * 1000.0;
  return std::isfinite(f) ? std::max(0.0, f) : 0.0;
}

std::string MhzEditText(double hz) { return FormatTrimmed(hz / 1e6, 9) + " МГц"; }

std::vector<std::string> ResultLines(const MeasuredPoint& last, const ScanRange* ranges, int count) {
  std::vector<std::string> lines;
  if (last.f > 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "f=%0.3f, Z=(%0.3f, %0.3f), КСВ=%0.2f  ", last.f / 1e6, last.r, last.x, last.swr);
    lines.emplace_back(buf);
  }
  for (int i = 0; i < count; ++i) lines.push_back(RangeSummaryLine(ranges[i]) + "    ");
  return lines;
}

std::string ReceiveStatusText(const ReceiveFigures& f) {
  char buf[128];
  const double block_ms = f.rate_sps > 0 ? f.max_block / f.rate_sps * 1000.0 : 0.0;
  std::snprintf(buf, sizeof buf, "Поток %0.3f МВыб/с, блок %u (%0.1f мс)", f.rate_sps / 1e6, f.max_block, block_ms);
  std::string s = buf;
  s += "; Пик " + FormatTrimmed(f.peak_a, 3);
  if (f.has_b) s += "/" + FormatTrimmed(f.peak_b, 3);
  if (f.has_spectrum) {
    std::snprintf(buf, sizeof buf, ", спектр [%0.0f - %0.0f] дб", f.spectrum_min_db, f.spectrum_max_db);
    s += buf;
  }
  if (f.rtl) {
    if (f.direct_mode == 2) {
      s += ", InQ";
    } else if (f.direct_mode == 1) {
      s += ", InI";
    } else {
      std::snprintf(buf, sizeof buf, ", G=%0.1f", f.gain_db);
      s += buf;
    }
  }
  return s;
}

}  // namespace kavu
