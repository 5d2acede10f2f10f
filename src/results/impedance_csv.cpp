#include "results/impedance_csv.h"

#include <cmath>
#include <numbers>

#include "platform/number_text.h"

namespace kavu {
namespace {

std::string Real(double v) { return std::isfinite(v) ? FormatG(v, 12) : "nan"; }

}  // namespace

std::string ImpedanceCsv(std::span<const ImpedanceRow> rows) {
  std::string out = "freq_hz,r_ohm,x_ohm,swr,gamma_mag,gamma_deg,return_loss_db\n";
  for (const ImpedanceRow& r : rows) {
    const double mag = std::abs(r.gamma);
    const double deg = std::arg(r.gamma) * (180.0 / std::numbers::pi);
    const double rl = -20.0 * std::log10(mag);
    out += Real(r.freq_hz) + ',' + Real(r.z.real()) + ',' + Real(r.z.imag()) + ',' + Real(r.swr) +
           ',' + Real(mag) + ',' + Real(deg) + ',' + Real(rl) + '\n';
  }
  return out;
}

}  // namespace kavu
