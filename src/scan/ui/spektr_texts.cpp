#include "scan/ui/spektr_texts.h"

#include <algorithm>
#include <cmath>

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
    lines.push_back("f=" + FormatFixed(last.f / 1e6, 3) + ", Z=(" + FormatFixed(last.r, 3) + ", " +
                    FormatFixed(last.x, 3) + "), КСВ=" + FormatFixed(last.swr, 2) + "  ");
  }
  for (int i = 0; i < count; ++i) lines.push_back(RangeSummaryLine(ranges[i]) + "    ");
  return lines;
}

std::string ReceiveStatusText(const ReceiveFigures& f) {
  // Numbers through FormatFixed: the window's locale may use a decimal comma.
  // RTL-SDR and HackRF count their blocks in bytes (two a sample), the others in samples.
  const double block_samples = f.rtl || f.hackrf ? f.max_block / 2.0 : static_cast<double>(f.max_block);
  const double block_ms = f.rate_sps > 0 ? block_samples / f.rate_sps * 1000.0 : 0.0;
  std::string s = "Поток " + FormatFixed(f.rate_sps / 1e6, 3) + " МВыб/с, блок " + std::to_string(f.max_block) +
                  " (" + FormatFixed(block_ms, 1) + " мс)";
  s += "; Пик " + FormatTrimmed(f.peak_a, 3);
  if (f.has_b) s += "/" + FormatTrimmed(f.peak_b, 3);
  if (f.has_spectrum) {
    s += ", спектр [" + FormatFixed(f.spectrum_min_db, 0) + " - " + FormatFixed(f.spectrum_max_db, 0) + "] дб";
  }
  if (f.rtl) {
    if (f.direct_mode == 2) {
      s += ", InQ";
    } else if (f.direct_mode == 1) {
      s += ", InI";
    } else {
      s += ", G=" + FormatFixed(f.gain_db, 1);
    }
  }
  if (f.hackrf) {
    s += ", lna=" + std::to_string(f.lna);
    if (f.amp) s += "amp";
    s += " vga=" + std::to_string(f.vga);
  }
  if (f.sdrplay) s += ", gRdB=" + std::to_string(f.grdb) + ", lna=" + std::to_string(f.sdr_lna);
  return s;
}

}  // namespace kavu
