#include "measure/calibration.h"

#include <algorithm>
#include <cmath>

#include "dsp/complex_linear_solve.h"
#include "shell/log_console.h"

namespace kavu {

Calibration::Calibration(int32_t capacity) {
  for (auto& t : tables_) {
    t = std::make_unique<CalibrationTable>(capacity);
    t->ResetTable();
  }
}

void Calibration::Load(int number, const CalibrationSetup& setup, bool is_cal) {
  number_ = number;
  setup_ = setup;
  is_cal_ = is_cal;
  const int used = setup.cal_type == 1 ? 3 : 1;
  for (int i = 0; i < 3; ++i) {
    CalibrationTable& t = *tables_[static_cast<size_t>(i)];
    if (i >= used) {
      t.ResetTable();
      continue;
    }
    t.LoadTable(setup.names[static_cast<size_t>(i)]);
    t.SmoothRatioTable(setup.aper2);
    if (i == 0) t.SmoothLevelTables(setup.aper2);
  }
  if (!InUse()) {
    Log() << LogColour(kColourNotice) << "Calibration::Load() - " << WhyNotInUse() << "\n"
          << LogColour(kColourNormal);
  }
}

void Calibration::LoadFromSettings() {
  const CalibrationSwitch sw = LoadCalibrationSwitch();
  Load(sw.var_cal, LoadCalibrationSetup(sw.var_cal), sw.is_cal);
}

bool Calibration::IsCalibrationValid() const {
  if (!tables_[0]->IsValid()) return false;
  if (setup_.cal_type != 1) return true;
  return tables_[1]->IsValid() && tables_[2]->IsValid();
}

std::string Calibration::WhyNotInUse() const {
  if (!is_cal_) return "калибровка выключена, A/O используется без поправок";
  const int used = setup_.cal_type == 1 ? 3 : 1;
  for (int i = 0; i < used; ++i) {
    const CalibrationTable& t = *tables_[static_cast<size_t>(i)];
    if (!t.IsValid()) {
      return "калибровка " + std::to_string(number_ + 1) + " не применяется, файл " +
             std::to_string(i + 1) + " \"" + t.FileName() + "\": " + t.Status() +
             "; A/O используется без поправок";
    }
  }
  return "";
}

Complex Calibration::Ratio1At(double f_hz) const {
  return tables_[0]->Interpolate(tables_[0]->RatioTable(), f_hz);
}

double Calibration::Level1At(int kind, double f_hz) const {
  return tables_[0]->Interpolate(tables_[0]->LevelTable(kind), f_hz);
}

bool Calibration::RatioCorrectionActive() const {
  return is_cal_ && setup_.is_korr_ao != 0 && IsCalibrationValid();
}

bool Calibration::LevelCorrectionActive() const {
  return is_cal_ && setup_.is_korr_a != 0 && tables_[0]->IsValid();
}

namespace {

// c₁ at f while the amplitude/phase correction applies, 1 (no correction) while it does not,
// NaN where it is zero or not finite.
Complex RatioReference(const Calibration& cal, double f_hz) {
  if (!cal.RatioCorrectionActive()) return 1.0;
  const Complex c = cal.Ratio1At(f_hz);
  const double m = std::abs(c);
  return (m > 0 && std::isfinite(m)) ? c : Complex(std::nan(""), std::nan(""));
}

}  // namespace

double Calibration::RatioCorrectionDb(double f_hz) const {
  return 20 * std::log10(std::abs(RatioReference(*this, f_hz)));
}

double Calibration::PhaseCorrectionRad(double f_hz) const {
  const Complex c = RatioReference(*this, f_hz);
  return std::isnan(c.real()) ? std::nan("") : -std::arg(c);
}

double Calibration::LevelCorrectionDb(int which, double f_hz) const {
  if (!LevelCorrectionActive()) return 0;
  if (which != CalibrationTable::kLevelMain && which != CalibrationTable::kLevelBpf) return 0;
  return Level1At(which, f_hz);
}

Complex Calibration::CorrectRatio(Complex rho, double f_hz, const BridgeSettings& bridge) const {
  const Complex missing(std::nan(""), std::nan(""));
  if (!IsCalibrationValid()) return missing;
  Complex c[3], e[3];
  const int used = setup_.cal_type == 1 ? 3 : 1;
  for (int i = 0; i < used; ++i) {
    const CalibrationTable& t = *tables_[static_cast<size_t>(i)];
    c[i] = t.Interpolate(t.RatioTable(), f_hz);
    e[i] = ExpectedRatio(bridge, setup_.loads_ohm[static_cast<size_t>(i)], f_hz);
  }
  if (used == 1) return rho / c[0] * e[0];
  // Two calibration scans with the same ratio but different loads ask one ratio to be two
  // loads: the system may still solve, but the map it gives sends that ratio to infinity and
  // every other one somewhere wrong.
  const double scale = std::max({std::abs(c[0]), std::abs(c[1]), std::abs(c[2])});
  for (int i = 0; i < 3; ++i) {
    if (!(std::abs(c[i] - c[(i + 1) % 3]) > 1e-12 * scale)) return missing;
  }
  // x₀ − cᵢ·eᵢ·x₁ − eᵢ·x₂ = −cᵢ, so that eᵢ = (cᵢ + x₀) / (x₁·cᵢ + x₂).
  std::array<std::array<Complex, 3>, 3> a;
  std::array<Complex, 3> b, x;
  for (size_t i = 0; i < 3; ++i) {
    a[i] = {Complex(1.0), -c[i] * e[i], -e[i]};
    b[i] = -c[i];
  }
  if (!SolveLinearComplex(a, b, x)) return missing;
  // Two calibration scans with the same ratio make the map degenerate (x₂ = x₀·x₁): every ρ
  // would read as one constant load. No answer is better than a wrong one.
  const Complex det = x[2] - x[0] * x[1];
  if (!(std::abs(det) > 1e-9 * (std::abs(x[2]) + std::abs(x[0] * x[1])))) return missing;
  return (rho + x[0]) / (x[1] * rho + x[2]);
}

}  // namespace kavu
