#include "scan/impedance_computer.h"

#include "results/point_ratio.h"

namespace kavu {

ImpedanceComputer::ImpedanceComputer(const BridgeSettings& bridge, const Calibration* calibration)
    : bridge_(bridge), calibration_(calibration && calibration->InUse() ? calibration : nullptr) {}

ImpedanceComputer::ImpedanceComputer(const BridgeSettings& bridge, std::shared_ptr<const Calibration> calibration)
    : ImpedanceComputer(bridge, calibration.get()) {
  held_ = std::move(calibration);
}

Complex ImpedanceComputer::BridgeSolve(const AntIzms& set, int64_t index, bool use_duo) const {
  const AntIzm& p = set.At(index);
  double level = p.a - p.o;
  if (use_duo && bridge_.use_duo_ampl) level -= p.aDuo - p.oDuo;
  double phase = p.phase;
  if (use_duo && bridge_.use_duo_faza && set.hasDuo) phase = p.phaseDuo;
  Complex rho = RatioFromLevels(level, phase);
  if (calibration_) rho = calibration_->CorrectRatio(rho, p.freqHz, bridge_);
  return SolveBridgeRatio(bridge_, rho, p.freqHz);
}

Complex ImpedanceComputer::ComputeZ(const AntIzms& set, int64_t index, int cable_mode) const {
  const bool use_duo = set.hasDuo && (bridge_.use_duo_ampl || bridge_.use_duo_faza);
  Complex z = BridgeSolve(set, index, use_duo);
  const bool cable = cable_mode > 0 || (cable_mode < 0 && bridge_.trans_len != 0);
  if (cable) z = CableTransform(bridge_, z, set.At(index).freqHz);
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
