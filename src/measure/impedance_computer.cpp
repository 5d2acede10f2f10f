#include "measure/impedance_computer.h"

#include "results/point_ratio.h"

namespace kavu {

ImpedanceComputer::ImpedanceComputer(const BridgeSettings& bridge, const Calibration* calibration)
    : bridge_(bridge), calibration_(calibration && calibration->InUse() ? calibration : nullptr) {}

ImpedanceComputer::ImpedanceComputer(const BridgeSettings& bridge, std::shared_ptr<const Calibration> calibration)
    : ImpedanceComputer(bridge, calibration.get()) {
  held_ = std::move(calibration);
}

Complex ImpedanceComputer::BridgeSolve(const AntIzms& set, int64_t index, bool use_duo) const {
  return Solve(set.At(index), set.hasDuo != 0, use_duo);
}

Complex ImpedanceComputer::Solve(const AntIzm& p, bool has_duo, bool use_duo) const {
  double level = p.a - p.o;
  if (use_duo && bridge_.use_duo_ampl) level -= p.aDuo - p.oDuo;
  double phase = p.phase;
  if (use_duo && bridge_.use_duo_faza && has_duo) phase = p.phaseDuo;
  Complex rho = RatioFromLevels(level, phase);
  if (calibration_) rho = calibration_->CorrectRatio(rho, p.freqHz, bridge_);
  return SolveBridgeRatio(bridge_, rho, p.freqHz);
}

Complex ImpedanceComputer::ComputeZ(const AntIzms& set, int64_t index, int cable_mode) const {
  return ComputeZ(set.At(index), set.hasDuo != 0, cable_mode);
}

Complex ImpedanceComputer::ComputeZ(const AntIzm& point, bool has_duo, int cable_mode) const {
  const bool use_duo = has_duo && (bridge_.use_duo_ampl || bridge_.use_duo_faza);
  Complex z = Solve(point, has_duo, use_duo);
  const bool cable = cable_mode > 0 || (cable_mode < 0 && bridge_.trans_len != 0);
  if (cable) z = CableTransform(bridge_, z, point.freqHz);
  return z;
}

std::vector<ImpedanceRow> ImpedanceComputer::Rows(const AntIzms& set, int cable_mode) const {
  std::vector<ImpedanceRow> rows(static_cast<size_t>(set.Count()));
  for (int32_t i = 0; i < set.Count(); ++i) {
    ImpedanceRow& r = rows[static_cast<size_t>(i)];
    r.freq_hz = set.At(i).freqHz;
    r.z = ComputeZ(set, i, cable_mode);
    r.gamma = GammaOf(r.z);
    r.swr = SwrOf(r.z);
  }
  return rows;
}

}  // namespace kavu
